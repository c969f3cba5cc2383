#include "TestSupport.h"
#include "core/WindowsLocations.h"

#include <cstdlib>

TEST (WinePrefix, ComesFromTheEnvironmentOrTheHomeFolder)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();

    {
        ScopedWinePrefix prefix;
        EXPECT_EQ (WindowsLocations::winePrefix(), prefix.prefix());
        EXPECT_EQ (WindowsLocations::driveC(), prefix.driveC());
    }

    const auto* saved = std::getenv ("WINEPREFIX");
    const juce::String restore = saved != nullptr ? juce::String (saved) : juce::String();

    // An empty WINEPREFIX counts as unset, as it does for Wine.
    setEnvironment ("WINEPREFIX", "");
    EXPECT_EQ (WindowsLocations::winePrefix(),
               juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".wine"));

    setEnvironment ("WINEPREFIX", saved != nullptr ? restore.toRawUTF8() : nullptr);
}

TEST (WindowsFolders, LieInsideTheDriveCOfThePrefix)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();

    ScopedWinePrefix prefix;

    EXPECT_EQ (WindowsLocations::commonFilesFolder(), prefix.commonFiles());
    EXPECT_EQ (WindowsLocations::commonApplicationDataFolder(), prefix.programData());
}

TEST (SettingsPaths, DriveLettersMapIntoThePrefixWithEitherSeparator)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();

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
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();

    ScopedWinePrefix prefix;

    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("C:\\..\\..\\etc"), prefix.driveC().getChildFile ("etc"));
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("C:\\A\\.\\B\\..\\C"), prefix.driveC().getChildFile ("A/C"));
}

TEST (SettingsPaths, RootedPathsWithoutADriveAreOnDriveC)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();

    ScopedWinePrefix prefix;

    // As Windows reads them: on the installer's drive, never from the root of this system.
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("\\Audio\\VST3"), prefix.driveC().getChildFile ("Audio/VST3"));
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("/opt/plugins/vst3"), prefix.driveC().getChildFile ("opt/plugins/vst3"));
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("\\..\\..\\etc"), prefix.driveC().getChildFile ("etc"));
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("\\"), prefix.driveC());
}

TEST (SettingsPaths, RootedPathsWithoutADriveAreOnTheSystemDriveWhereverTheInstallerStarts)
{
    if (! runsOnWindows())
        GTEST_SKIP() << "Windows only: elsewhere drive C: is the prefix's folder, tested above";

    // Under Wine drive Z: is the root of the host system: a start from there must not reach it.
    const auto started = juce::File::getCurrentWorkingDirectory();
    const juce::File otherDrive ("Z:\\");

    if (otherDrive.isDirectory())
        otherDrive.setAsCurrentWorkingDirectory();

    const auto drive = WindowsLocations::systemDrive();
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("\\Audio\\VST3"), drive.getChildFile ("Audio\\VST3"));
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("/opt/plugins/vst3"), drive.getChildFile ("opt\\plugins\\vst3"));
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("\\..\\..\\etc"), drive.getChildFile ("etc"));
    EXPECT_TRUE (drive.getChildFile ("Windows\\System32").isDirectory()) << drive.getFullPathName();
    started.setAsCurrentWorkingDirectory();
}

TEST (SettingsPaths, UncPathsGoThroughThePrefixsUncFolder)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();

    ScopedWinePrefix prefix;
    const auto share = prefix.prefix().getChildFile ("dosdevices/unc/studio-nas/plugins");

    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("\\\\studio-nas\\plugins\\VST3"), share.getChildFile ("VST3"));
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("//studio-nas/plugins/VST3/"), share.getChildFile ("VST3"));
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("\\\\studio-nas\\plugins"), share);

    // Nothing climbs above the share.
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("\\\\studio-nas\\plugins\\..\\..\\..\\etc"), share.getChildFile ("etc"));

    // No server and share, or a device path: there is no such folder.
    for (const auto* path : { "\\\\studio-nas", "\\\\", "\\\\?\\C:\\VST3", "\\\\.\\pipe\\x", "\\\\..\\..\\etc", "\\\\server\\..\\x" })
        EXPECT_EQ (WindowsLocations::fileFromSettingsPath (path), juce::File()) << path;
}

TEST (SettingsPaths, RelativePathsStayBelowTheCurrentFolder)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();

    ScopedWinePrefix prefix;
    const auto current = juce::File::getCurrentWorkingDirectory();

    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("plugins\\vst3"), current.getChildFile ("plugins/vst3"));
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("..\\..\\plugins"), current.getChildFile ("plugins"));

    // A tilde is an ordinary name to Windows, not the home folder.
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("~\\vst3").getFullPathName(), current.getFullPathName() + "/~/vst3");
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("C:\\~").getFullPathName(), prefix.driveC().getFullPathName() + "/~");
}

TEST (SettingsPaths, FoldersInDriveCAreWrittenInWindowsForm)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();

    ScopedWinePrefix prefix;

    EXPECT_EQ (WindowsLocations::settingsPathFor (prefix.commonFiles().getChildFile ("Avid/Audio/Plug-Ins")),
               "C:\\Program Files\\Common Files\\Avid\\Audio\\Plug-Ins");
    EXPECT_EQ (WindowsLocations::settingsPathFor (prefix.driveC()), "C:\\");

    // Anything outside drive C: is named through drive Z:, which Wine maps to the root.
    EXPECT_EQ (WindowsLocations::settingsPathFor (juce::File ("/srv/audio/clap")), "Z:\\srv\\audio\\clap");
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath ("Z:\\srv\\audio\\clap"),
               prefix.prefix().getChildFile ("dosdevices/z:/srv/audio/clap"));

    // A sibling whose name merely starts like drive_c is not inside it.
    const auto sibling = prefix.prefix().getChildFile ("drive_cx/VST3");
    EXPECT_EQ (WindowsLocations::settingsPathFor (sibling), "Z:" + sibling.getFullPathName().replaceCharacter ('/', '\\'));

    const auto inside = prefix.commonFiles().getChildFile ("CLAP");
    EXPECT_EQ (WindowsLocations::fileFromSettingsPath (WindowsLocations::settingsPathFor (inside)), inside);
}
