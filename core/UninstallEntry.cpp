#include "core/UninstallEntry.h"
#include "core/KeptCopy.h"
#include "core/ZipDirectory.h"

#include <limits>

namespace
{
    constexpr const char* uninstallKeyParent = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
}

UninstallEntry::Values UninstallEntry::valuesFor (juce::int64 installedBytes, const juce::Time& day)
{
    Values values;
    values.displayName          = ProductDefinition::displayProductName (ProductDefinition::rawProductName);
    values.displayVersion       = ProductDefinition::productVersion;
    values.publisher            = ProductDefinition::makerName;
    values.displayIcon          = ProductDefinition::keptCopyPath();
    values.installDate          = day.formatted ("%Y%m%d");
    values.urlInfoAbout         = ProductDefinition::productPageAddress;
    values.helpLink             = ProductDefinition::manualAddress;
    values.uninstallString      = ProductDefinition::uninstallCommand();
    values.quietUninstallString = ProductDefinition::uninstallCommand();
    values.estimatedSizeKiB     = (juce::uint32) juce::jlimit<juce::int64> (0, std::numeric_limits<juce::uint32>::max(),
                                                                            (installedBytes + 1023) / 1024);
    return values;
}

juce::String UninstallEntry::keyPath()
{
    return uninstallKeyParent + ProductDefinition::uninstallKeyName();
}

juce::int64 UninstallEntry::installedBytes (const InstallRun::Folders& installFolders, const juce::String& productName)
{
    juce::int64 bytes = -1;

    for (int formatIndex = 0; formatIndex < ProductDefinition::numFormats; ++formatIndex)
    {
        // Whether the bundle is there, as status detection judges it, without opening anything in it.
        const auto bundle = ProductDefinition::bundleFor (installFolders[(size_t) formatIndex], productName, formatIndex);

        if (! bundle.exists())
            continue;

        const auto payload = InstallRun::payloadFor (formatIndex);
        const auto records = ZipDirectory::read (payload.data, payload.size);
        bytes = juce::jmax<juce::int64> (bytes, 0) + (records ? ZipDirectory::totalsOf (*records).bytes : 0);
    }

    return bytes;
}

juce::Result UninstallEntry::write (const Values& values)
{
   #if JUCE_WINDOWS
    using Registry = juce::WindowsRegistry;
    const auto key = keyPath() + "\\";
    const auto view = Registry::WoW64_64bit;

    const std::pair<const char*, juce::String> texts[] {
        { "DisplayName", values.displayName },          { "DisplayVersion", values.displayVersion },
        { "Publisher", values.publisher },              { "DisplayIcon", values.displayIcon },
        { "InstallDate", values.installDate },          { "URLInfoAbout", values.urlInfoAbout },
        { "HelpLink", values.helpLink },                { "UninstallString", values.uninstallString },
        { "QuietUninstallString", values.quietUninstallString }
    };

    const std::pair<const char*, juce::uint32> numbers[] {
        { "EstimatedSize", values.estimatedSizeKiB },
        { "NoModify", values.noModify ? 1u : 0u },
        { "NoRepair", values.noRepair ? 1u : 0u }
    };

    for (const auto& [name, text] : texts)
        if (! Registry::setValue (key + name, text, view))
            return juce::Result::fail ("could not write " + key + name);

    for (const auto& [name, number] : numbers)
        if (! Registry::setValue (key + name, number, view))
            return juce::Result::fail ("could not write " + key + name);

    return juce::Result::ok();
   #else
    juce::ignoreUnused (values);
    return juce::Result::fail ("only the Windows build keeps an Apps & features entry");
   #endif
}

juce::Result UninstallEntry::remove()
{
   #if JUCE_WINDOWS
    const auto view = juce::WindowsRegistry::WoW64_64bit;

    if (juce::WindowsRegistry::keyExists (keyPath(), view) && ! juce::WindowsRegistry::deleteKey (keyPath(), view))
        return juce::Result::fail ("could not remove " + keyPath());

    return juce::Result::ok();
   #else
    return juce::Result::fail ("only the Windows build keeps an Apps & features entry");
   #endif
}

juce::String UninstallEntry::refresh (const InstallRun::Folders& installFolders, const juce::String& productName)
{
   #if JUCE_WINDOWS
    const auto bytes = installedBytes (installFolders, productName);
    const auto kept = KeptCopy::location();
    const auto self = KeptCopy::runningExecutable();
    juce::StringArray problems;

    if (bytes >= 0)
    {
        // A removal from the kept copy may have queued it for the next restart; it is needed again.
        if (! KeptCopy::cancelRemovalAtRestart (kept))
            problems.add ("the installer's copy is still queued for removal at the next restart");

        if (const auto copied = KeptCopy::refresh (self, kept); copied.failed())
            problems.add ("the installer's copy for removing it later: " + copied.getErrorMessage());

        if (const auto written = write (valuesFor (bytes, juce::Time::getCurrentTime())); written.failed())
            problems.add (written.getErrorMessage());
    }
    else
    {
        if (const auto removed = remove(); removed.failed())
            problems.add (removed.getErrorMessage());

        if (kept.exists())
            if (const auto retired = KeptCopy::retire (kept, self == kept); retired.failed())
                problems.add (retired.getErrorMessage());
    }

    if (problems.isEmpty())
        return {};

    return "Windows' Apps & features entry could not be brought up to date (" + problems.joinIntoString ("; ")
         + "); the plug-ins themselves are as reported";
   #else
    juce::ignoreUnused (installFolders, productName);
    return {};
   #endif
}
