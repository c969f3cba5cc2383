#include "TestSupport.h"
#include "core/WindowsLocations.h"

#include <cstdlib>

TEST (WinePrefix, ComesFromTheEnvironmentOrTheHomeFolder)
{
    {
        ScopedWinePrefix prefix;
        EXPECT_EQ (WindowsLocations::winePrefix(), prefix.prefix());
        EXPECT_EQ (WindowsLocations::driveC(), prefix.driveC());
    }

    const auto* saved = std::getenv ("WINEPREFIX");
    const juce::String restore = saved != nullptr ? juce::String (saved) : juce::String();

    // An empty WINEPREFIX counts as unset, as it does for Wine.
    ::setenv ("WINEPREFIX", "", 1);
    EXPECT_EQ (WindowsLocations::winePrefix(),
               juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".wine"));

    if (saved != nullptr)
        ::setenv ("WINEPREFIX", restore.toRawUTF8(), 1);
    else
        ::unsetenv ("WINEPREFIX");
}

TEST (WindowsFolders, LieInsideTheDriveCOfThePrefix)
{
    ScopedWinePrefix prefix;

    EXPECT_EQ (WindowsLocations::commonFilesFolder(), prefix.commonFiles());
    EXPECT_EQ (WindowsLocations::commonApplicationDataFolder(), prefix.programData());
}

TEST (SettingsPaths, DriveLettersMapIntoThePrefixWithEitherSeparator)
{
    ScopedWinePrefix prefix;
    const auto vst3 = prefix.commonFiles().getChildFile ("VST3");

    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("C:\\Program Files\\Common Files\\VST3"), vst3);
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("C:/Program Files/Common Files/VST3"), vst3);
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("c:\\Program Files/Common Files\\VST3\\"), vst3);
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("C:\\"), prefix.driveC());
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("C:"), prefix.driveC());

    // Other drives go through the prefix's device links, named in lower case.
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("D:\\Audio\\VST3"),
               prefix.prefix().getChildFile ("dosdevices/d:/Audio/VST3"));
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("z:/home"),
               prefix.prefix().getChildFile ("dosdevices/z:/home"));
}

TEST (SettingsPaths, DotDotCannotClimbAboveTheDrive)
{
    ScopedWinePrefix prefix;

    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("C:\\..\\..\\etc"), prefix.driveC().getChildFile ("etc"));
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("C:\\A\\.\\B\\..\\C"), prefix.driveC().getChildFile ("A/C"));
}

TEST (SettingsPaths, UnixAndRelativePathsAreTakenAsTheyAre)
{
    ScopedWinePrefix prefix;

    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("/opt/plugins/vst3"), juce::File ("/opt/plugins/vst3"));
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("plugins\\vst3"),
               juce::File::getCurrentWorkingDirectory().getChildFile ("plugins/vst3"));
}

TEST (SettingsPaths, FoldersInDriveCAreWrittenInWindowsForm)
{
    ScopedWinePrefix prefix;

    EXPECT_EQ (WindowsLocations::settingsPathFor (prefix.commonFiles().getChildFile ("Avid/Audio/Plug-Ins")),
               "C:\\Program Files\\Common Files\\Avid\\Audio\\Plug-Ins");
    EXPECT_EQ (WindowsLocations::settingsPathFor (prefix.driveC()), "C:\\");

    // Anything outside drive C: keeps its native path, and reading it back gives the same folder.
    const juce::File outside ("/srv/audio/clap");
    EXPECT_EQ (WindowsLocations::settingsPathFor (outside), "/srv/audio/clap");
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath (WindowsLocations::settingsPathFor (outside)), outside);

    // A sibling whose name merely starts like drive_c is not inside it.
    const auto sibling = prefix.prefix().getChildFile ("drive_cx/VST3");
    EXPECT_EQ (WindowsLocations::settingsPathFor (sibling), sibling.getFullPathName());

    const auto inside = prefix.commonFiles().getChildFile ("CLAP");
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath (WindowsLocations::settingsPathFor (inside)), inside);
}
