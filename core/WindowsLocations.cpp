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

    /** Joins the components of a path below a drive's root the way Windows does:
        "." is dropped and ".." never climbs above the root, so a settings path cannot
        leave the drive it names. */
    juce::File resolveBelowRoot (const juce::File& root, const juce::String& pathBelowRoot)
    {
        juce::StringArray parts;
        parts.addTokens (pathBelowRoot.replaceCharacter ('\\', '/'), "/", {});

        juce::StringArray kept;

        for (const auto& part : parts)
        {
            if (part.isEmpty() || part == ".")
                continue;

            if (part == "..")
            {
                if (! kept.isEmpty())
                    kept.remove (kept.size() - 1);

                continue;
            }

            kept.add (part);
        }

        return kept.isEmpty() ? root : root.getChildFile (kept.joinIntoString ("/"));
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
    return juce::File (path);
   #else
    if (startsWithDriveLetter (path))
        return resolveBelowRoot (driveRoot (path[0]), path.substring (2));

    if (juce::File::isAbsolutePath (path))
        return juce::File (path);

    // A relative path means what it would mean to the framework on Windows: a folder
    // below the current one.
    return juce::File::getCurrentWorkingDirectory().getChildFile (path.replaceCharacter ('\\', '/'));
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

    return folder.getFullPathName();
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
