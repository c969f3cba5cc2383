#include "core/WindowsLocations.h"
#include "core/ProductDefinition.h"

namespace
{
   #if ! JUCE_WINDOWS
    bool startsWithDriveLetter (const juce::String& path)
    {
        return path.length() >= 2
            && juce::CharacterFunctions::isLetter (path[0])
            && path[1] == ':';
    }

    bool isSeparator (juce::juce_wchar c)
    {
        return c == '\\' || c == '/';
    }

    juce::StringArray componentsOf (const juce::String& path)
    {
        juce::StringArray parts;
        parts.addTokens (path.replaceCharacter ('\\', '/'), "/", {});
        parts.removeEmptyStrings (false);
        return parts;
    }

    /** Joins the components of a path below a root the way Windows does below a drive's
        root: "." is dropped and ".." never climbs above the root, so a settings path cannot
        leave the place it names. The result is built as text, because the framework would
        read a leading "~" as the home folder. */
    juce::File resolveBelowRoot (const juce::File& root, const juce::StringArray& parts)
    {
        juce::StringArray kept;

        for (const auto& part : parts)
        {
            if (part == ".")
                continue;

            if (part == "..")
            {
                if (! kept.isEmpty())
                    kept.remove (kept.size() - 1);

                continue;
            }

            kept.add (part);
        }

        if (kept.isEmpty())
            return root;

        return juce::File (root.getFullPathName() + "/" + kept.joinIntoString ("/"));
    }

    juce::File resolveBelowRoot (const juce::File& root, const juce::String& pathBelowRoot)
    {
        return resolveBelowRoot (root, componentsOf (pathBelowRoot));
    }

    bool isOrdinaryName (const juce::String& name)
    {
        return name.isNotEmpty() && name != "." && name != ".." && name != "?" && ! name.containsChar (':');
    }

    /** \\server\share\rest, which Wine reaches through the prefix's unc folder. Device
        paths such as \\?\ and \\.\ have no such place and give the empty path. */
    juce::File resolveUncPath (const juce::String& pathAfterSlashes)
    {
        auto parts = componentsOf (pathAfterSlashes);

        if (parts.size() < 2 || ! isOrdinaryName (parts[0]) || ! isOrdinaryName (parts[1]))
            return {};

        const auto uncFolder = WindowsLocations::winePrefix().getChildFile ("dosdevices/unc");
        const auto share = resolveBelowRoot (uncFolder, juce::StringArray { parts[0], parts[1] });
        parts.removeRange (0, 2);
        return resolveBelowRoot (share, parts);
    }

    juce::File driveRoot (juce::juce_wchar letter)
    {
        const auto lower = juce::CharacterFunctions::toLowerCase (letter);

        if (lower == 'c')
            return WindowsLocations::driveC();

        return WindowsLocations::winePrefix().getChildFile ("dosdevices")
                                             .getChildFile (juce::String::charToString (lower) + ":");
    }
   #endif
}

//==============================================================================
juce::File WindowsLocations::commonFilesFolder()
{
   #if JUCE_WINDOWS
    return juce::File (ProductDefinition::commonFilesPath);
   #else
    return fileFromSettingsPath (ProductDefinition::commonFilesPath);
   #endif
}

juce::File WindowsLocations::commonApplicationDataFolder()
{
   #if JUCE_WINDOWS
    return juce::File::getSpecialLocation (juce::File::commonApplicationDataDirectory);
   #else
    return driveC().getChildFile ("ProgramData");
   #endif
}

juce::File WindowsLocations::fileFromSettingsPath (const juce::String& path)
{
   #if JUCE_WINDOWS
    const auto windowsPath = path.replaceCharacter ('/', '\\');

    // Rooted but without a drive: on the system's drive, as every build reads it. The
    // framework would take the drive the installer was started from, which may be a stick,
    // a share or, under Wine, the root of the host system.
    if (windowsPath.startsWithChar ('\\') && ! windowsPath.startsWith ("\\\\"))
        return systemDrive().getChildFile (windowsPath.substring (1));

    return juce::File (windowsPath);
   #else
    if (startsWithDriveLetter (path))
        return resolveBelowRoot (driveRoot (path[0]), path.substring (2));

    if (isSeparator (path[0]) && isSeparator (path[1]))
        return resolveUncPath (path.substring (2));

    // Rooted but without a drive: Windows takes it on the current drive, which for an
    // installer is C:, and never as a path from the root of this system.
    if (isSeparator (path[0]))
        return resolveBelowRoot (driveC(), path);

    // A relative path means what it would mean to the framework on Windows: a folder
    // below the current one.
    return resolveBelowRoot (juce::File::getCurrentWorkingDirectory(), path);
   #endif
}

juce::String WindowsLocations::settingsPathFor (const juce::File& folder)
{
   #if JUCE_WINDOWS
    return folder.getFullPathName();
   #else
    const auto drive = driveC();

    if (folder == drive)
        return "C:\\";

    if (folder.isAChildOf (drive))
        return "C:\\" + folder.getRelativePathFrom (drive).replaceCharacter ('/', '\\');

    // Elsewhere the folder is named through Wine's drive Z:, the root of this system, which
    // is how a Windows program sees it.
    return "Z:" + folder.getFullPathName().replaceCharacter ('/', '\\');
   #endif
}

juce::File WindowsLocations::systemDrive()
{
   #if JUCE_WINDOWS
    return juce::File (juce::File::getSpecialLocation (juce::File::windowsSystemDirectory)
                           .getFullPathName().substring (0, 3));
   #else
    return driveC();
   #endif
}

juce::File WindowsLocations::winePrefix()
{
    const auto fromEnvironment = juce::SystemStats::getEnvironmentVariable ("WINEPREFIX", {});

    if (fromEnvironment.isNotEmpty())
        return juce::File::getCurrentWorkingDirectory().getChildFile (fromEnvironment);

    return juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".wine");
}

juce::File WindowsLocations::driveC()
{
    return winePrefix().getChildFile ("drive_c");
}
