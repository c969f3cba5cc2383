#include "TestSupport.h"
#include "ui/MainComponent.h"
#include "ui/Palette.h"
#include "core/InstallPathSettings.h"
#include "ui/ComponentLookup.h"
#include "ui/TestWindowManager.h"

TEST (MainComponent, StartsAtSixHundredPixelsWithEveryButtonTransparent)
{
    ScopedWinePrefix prefix;
    MainComponent main;

    EXPECT_EQ (main.getWidth(), 600);
    EXPECT_EQ (main.getHeight(), 600);
    EXPECT_FLOAT_EQ (main.getScale(), 6.0f);
    EXPECT_FALSE (main.isUninstallMode());

    const juce::StringArray names { "EULA", "MANUAL", "WEBSITE", "SUPPORT", "CHANGES",
                                    "VST3", "CLAP", "AAX", "INSTALL", "SELECT_ALL" };

    for (const auto& name : names)
    {
        auto* button = dynamic_cast<juce::TextButton*> (childNamed (main, name));
        ASSERT_NE (button, nullptr) << name;
        EXPECT_TRUE (button->isVisible()) << name;
        EXPECT_EQ (button->getAlpha(), 0.0f) << name;
        EXPECT_TRUE (button->getButtonText().isEmpty()) << name;
    }

    EXPECT_EQ (main.getNumChildComponents(), names.size() + 1);

    auto* hint = hintLabelOf (main);
    ASSERT_NE (hint, nullptr);
    EXPECT_EQ (hint->getText(), "1.2.0");
    EXPECT_EQ (hint->getJustificationType(), juce::Justification::centred);
    EXPECT_EQ (hint->findColour (juce::Label::textColourId).getARGB(), 0x80AAA6A6u);
}

TEST (MainComponent, BecomesTheDefaultLookAndFeel)
{
    ScopedWinePrefix prefix;
    MainComponent main;

    EXPECT_EQ (&juce::LookAndFeel::getDefaultLookAndFeel(), &main.getCustomLookAndFeel());
    EXPECT_EQ (juce::LookAndFeel::getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
               Palette::nearBlack);
}

TEST (MainComponent, LaysOutItsButtonsOnTheScaleGrid)
{
    ScopedWinePrefix prefix;
    MainComponent main;

    EXPECT_EQ (childNamed (main, "EULA")->getBounds(),       juce::Rectangle<int> (24, 441, 60, 60));
    EXPECT_EQ (childNamed (main, "MANUAL")->getBounds(),     juce::Rectangle<int> (93, 441, 60, 60));
    EXPECT_EQ (childNamed (main, "CHANGES")->getBounds(),    juce::Rectangle<int> (300, 441, 60, 60));
    EXPECT_EQ (childNamed (main, "INSTALL")->getBounds(),    juce::Rectangle<int> (516, 441, 60, 60));
    EXPECT_EQ (childNamed (main, "SELECT_ALL")->getBounds(), juce::Rectangle<int> (462, 132, 114, 30));
    EXPECT_EQ (childNamed (main, "VST3")->getBounds(),       juce::Rectangle<int> (24, 180, 270, 60));
    EXPECT_EQ (childNamed (main, "CLAP")->getBounds(),       juce::Rectangle<int> (306, 180, 270, 60));
    EXPECT_EQ (childNamed (main, "AAX")->getBounds(),        juce::Rectangle<int> (24, 252, 270, 60));
    EXPECT_EQ (hintLabelOf (main)->getBounds(),              juce::Rectangle<int> (24, 540, 552, 18));
    EXPECT_FLOAT_EQ (hintLabelOf (main)->getFont().getHeight(), 18.0f);

    // Each extras x is accumulated as a float and rounded on its own.
    main.setSize (900, 900);
    EXPECT_FLOAT_EQ (main.getScale(), 9.0f);
    EXPECT_EQ (childNamed (main, "MANUAL")->getBounds(), juce::Rectangle<int> (140, 662, 90, 90));
    EXPECT_EQ (childNamed (main, "WEBSITE")->getBounds(), juce::Rectangle<int> (243, 662, 90, 90));
}

// Worked out in single precision, as the layout computes: s = width * 0.01f, each extras x the
// float sum 4s + 11.5s + ... of scaled terms, every value rounded to the nearest integer on its
// own. At 599, 611 and 905 the fifth button lands a pixel away from (4 + 4 * 11.5) * s.
TEST (MainComponent, PlacesEveryButtonExactlyAtOddWidths)
{
    struct Expected
    {
        int width;
        std::array<int, 5> extrasX;
        int extrasY, extrasSize;
        juce::Rectangle<int> install, selectAll, vst3, clap, aax, hint;
    };

    const Expected cases[] {
        { 599, { 24, 93, 162, 231, 299 }, 440, 60, { 515, 440, 60, 60 }, { 461, 132, 114, 30 },
          { 24, 180, 270, 60 }, { 305, 180, 270, 60 }, { 24, 252, 270, 60 }, { 24, 539, 551, 18 } },
        { 611, { 24, 95, 165, 235, 306 }, 449, 61, { 525, 449, 61, 61 }, { 470, 134, 116, 31 },
          { 24, 183, 275, 61 }, { 312, 183, 275, 61 }, { 24, 257, 275, 61 }, { 24, 550, 562, 18 } },
        { 905, { 36, 140, 244, 348, 453 }, 665, 90, { 778, 665, 90, 90 }, { 697, 199, 172, 45 },
          { 36, 272, 407, 90 }, { 462, 272, 407, 90 }, { 36, 380, 407, 90 }, { 36, 814, 833, 27 } },
    };

    ScopedWinePrefix prefix;
    MainComponent main;
    const juce::StringArray extras { "EULA", "MANUAL", "WEBSITE", "SUPPORT", "CHANGES" };

    for (const auto& e : cases)
    {
        main.setSize (e.width, e.width);

        for (int i = 0; i < extras.size(); ++i)
            EXPECT_EQ (childNamed (main, extras[i])->getBounds(),
                       juce::Rectangle<int> (e.extrasX[(size_t) i], e.extrasY, e.extrasSize, e.extrasSize))
                << extras[i] << " at " << e.width;

        EXPECT_EQ (childNamed (main, "INSTALL")->getBounds(), e.install) << e.width;
        EXPECT_EQ (childNamed (main, "SELECT_ALL")->getBounds(), e.selectAll) << e.width;
        EXPECT_EQ (childNamed (main, "VST3")->getBounds(), e.vst3) << e.width;
        EXPECT_EQ (childNamed (main, "CLAP")->getBounds(), e.clap) << e.width;
        EXPECT_EQ (childNamed (main, "AAX")->getBounds(), e.aax) << e.width;
        EXPECT_EQ (hintLabelOf (main)->getBounds(), e.hint) << e.width;
    }
}

TEST (MainComponent, ResolvesFoldersFromTheSettingsAndPreselectsExistingBundles)
{
    ScopedWinePrefix prefix;
    prefix.makerFolder().createDirectory();

    const auto vst3Folder = prefix.driveC().getChildFile ("Custom/VST3");
    InstallPathSettings::settingsFileIn (prefix.makerFolder())
        .replaceWithText ("<Plugin_Manager_Settings VST3_Path=\"C:\\Custom\\VST3\"/>");
    vst3Folder.getChildFile ("Kelvara 2.vst3").createDirectory();

    // CLAP as a plain file bearing the bundle's name counts as existing too.
    const auto clapFolder = prefix.commonFiles().getChildFile ("CLAP");
    clapFolder.createDirectory();
    clapFolder.getChildFile ("Kelvara 2.clap").replaceWithText ("x");

    MainComponent main;

    EXPECT_EQ (main.getSettingsFolder(), prefix.makerFolder());
    EXPECT_EQ (main.getInstallFolder (0), vst3Folder);
    EXPECT_EQ (main.getInstallFolder (1), clapFolder);
    EXPECT_EQ (main.getInstallFolder (2), prefix.commonFiles().getChildFile ("Avid/Audio/Plug-Ins"));

    EXPECT_TRUE (main.isFormatSelected (0));
    EXPECT_TRUE (main.isFormatSelected (1));
    EXPECT_FALSE (main.isFormatSelected (2));
}

TEST (MainComponent, WritesTheSettingsFileOnFirstRun)
{
    ScopedWinePrefix prefix;
    prefix.makerFolder().createDirectory();

    MainComponent main;

    const auto file = InstallPathSettings::settingsFileIn (prefix.makerFolder());
    EXPECT_EQ (file.getSize(), 761);
    EXPECT_FALSE (main.isFormatSelected (0) || main.isFormatSelected (1) || main.isFormatSelected (2));
}

TEST (MainComponent, ShiftSwitchesUninstallModeAndOtherModifiersDoNot)
{
    ScopedWinePrefix prefix;
    MainComponent main;

    main.modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::shiftModifier));
    EXPECT_TRUE (main.isUninstallMode());

    main.modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::shiftModifier | juce::ModifierKeys::ctrlModifier));
    EXPECT_TRUE (main.isUninstallMode());

    main.modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::altModifier));
    EXPECT_FALSE (main.isUninstallMode());

    // Mouse buttons lie above the tracked bits and change nothing.
    main.modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier));
    EXPECT_FALSE (main.isUninstallMode());
}

TEST (MainComponent, RemovesAStrayScriptFileButNotAFolderOfThatName)
{
    const auto script = juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("script.sh");

    if (script.exists())
        GTEST_SKIP() << "a script.sh of someone else's is in the temporary folder";

    ScopedWinePrefix prefix;

    {
        MainComponent main;
        ASSERT_TRUE (script.replaceWithText ("echo stray"));
    }
    EXPECT_FALSE (script.exists());

    {
        MainComponent main;
        ASSERT_TRUE (script.createDirectory());
    }
    EXPECT_TRUE (script.isDirectory());
    script.deleteRecursively();
}

TEST (MainComponent, InstallReportsEachFormatAndEndsInTheFinishedState)
{
    ScopedWinePrefix prefix;
    const auto aaxFolder = blockAaxFolder (prefix);

    MainComponent main;
    auto* selectAll = buttonNamed (main, "SELECT_ALL");
    auto* install = buttonNamed (main, "INSTALL");
    ASSERT_TRUE (selectAll != nullptr && install != nullptr);

    main.buttonClicked (selectAll);
    EXPECT_TRUE (main.isFormatSelected (0) && main.isFormatSelected (1) && main.isFormatSelected (2));

    main.buttonClicked (install);

    const auto& results = main.getFormatResults();
    ASSERT_EQ (results.size(), 3u);
    EXPECT_TRUE (results[0].succeeded) << results[0].reason;
    EXPECT_TRUE (results[1].succeeded) << results[1].reason;
    EXPECT_FALSE (results[2].succeeded);
    EXPECT_EQ (results[2].formatIndex, 2);
    EXPECT_TRUE (results[2].reason.isNotEmpty());

    EXPECT_TRUE (main.isInstallFinished());
    EXPECT_FALSE (main.isFormatSelected (0) || main.isFormatSelected (1) || main.isFormatSelected (2));

    for (const auto* name : { "VST3", "CLAP", "AAX", "SELECT_ALL", "INSTALL" })
        EXPECT_FALSE (childNamed (main, name)->isVisible()) << name;

    for (const auto* name : { "EULA", "MANUAL", "WEBSITE", "SUPPORT", "CHANGES" })
        EXPECT_TRUE (childNamed (main, name)->isVisible()) << name;

    EXPECT_TRUE (prefix.commonFiles().getChildFile ("VST3/Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3").existsAsFile());
    EXPECT_TRUE (prefix.commonFiles().getChildFile ("CLAP/Kelvara 2.clap").existsAsFile());
}

TEST (MainComponent, ShiftTurnsInstallIntoRemovalOfTheSelectedBundles)
{
    ScopedWinePrefix prefix;
    const auto vst3 = prefix.commonFiles().getChildFile ("VST3/Kelvara 2.vst3");
    const auto clap = prefix.commonFiles().getChildFile ("CLAP/Kelvara 2.clap");
    vst3.getChildFile ("Contents").createDirectory();
    clap.getParentDirectory().createDirectory();
    clap.replaceWithText ("module");

    MainComponent main;
    main.buttonClicked (buttonNamed (main, "CLAP"));
    main.modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::shiftModifier));
    main.buttonClicked (buttonNamed (main, "INSTALL"));

    ASSERT_EQ (main.getFormatResults().size(), 1u);
    EXPECT_TRUE (main.getFormatResults()[0].succeeded);
    EXPECT_FALSE (vst3.exists());
    EXPECT_TRUE (clap.existsAsFile());
    EXPECT_FALSE (prefix.commonFiles().getChildFile ("Avid").exists());
}

TEST (MainComponent, AfterASuccessThatLeftTheOldBundleBehindTheHintLineShowsTheNote)
{
    ScopedWinePrefix prefix;
    const auto held = prefix.commonFiles().getChildFile ("VST3/Kelvara 2.vst3/Contents/held.bin");
    ASSERT_TRUE (held.create().wasOk());

    // Immutable, the file cannot be deleted, as a module a running host holds on Windows.
    juce::ChildProcess hold;

    if (! hold.start (juce::StringArray { "chattr", "+i", held.getFullPathName() }) || ! hold.waitForProcessToFinish (10000)
         || hold.getExitCode() != 0)
        GTEST_SKIP() << "this file system has no immutable attribute";

    MainComponent main;     // the existing bundle starts selected
    main.buttonClicked (buttonNamed (main, "INSTALL"));

    juce::ChildProcess release;
    release.start (juce::StringArray { "chattr", "-R", "-i", prefix.commonFiles().getFullPathName() });
    release.waitForProcessToFinish (10000);

    ASSERT_EQ (main.getFormatResults().size(), 1u);
    EXPECT_TRUE (main.getFormatResults()[0].succeeded);
    EXPECT_TRUE (main.getFormatResults()[0].note.isNotEmpty());
    EXPECT_EQ (hintLabelOf (main)->getText(), main.getFormatResults()[0].note);
}

TEST (MainComponent, AFolderWithoutRoomFailsTheFormatBeforeWritingAndTheHintLineSaysWhy)
{
    ScopedWinePrefix prefix;
    const auto folder = prefix.commonFiles().getChildFile ("CLAP");
    ASSERT_TRUE (folder.createDirectory().wasOk());

    // 16 KiB, where the CLAP bundle needs 18.
    juce::ChildProcess mount;

    if (! mount.start (juce::StringArray { "mount", "-t", "tmpfs", "-o", "size=16k", "tmpfs", folder.getFullPathName() })
         || ! mount.waitForProcessToFinish (10000) || mount.getExitCode() != 0)
        GTEST_SKIP() << "cannot mount a small file system here (mounting needs root)";

    MainComponent main;
    main.buttonClicked (buttonNamed (main, "CLAP"));
    main.buttonClicked (buttonNamed (main, "INSTALL"));
    const auto leftInFolder = folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories);

    juce::ChildProcess unmount;
    unmount.start (juce::StringArray { "umount", folder.getFullPathName() });
    unmount.waitForProcessToFinish (10000);

    ASSERT_EQ (main.getFormatResults().size(), 1u);
    const auto& result = main.getFormatResults()[0];
    EXPECT_FALSE (result.succeeded);
    EXPECT_TRUE (result.lacksSpace);
    EXPECT_EQ (result.reason, "Not enough space in " + folder.getFullPathName() + ": the bundle needs 18 KiB, but only 16 KiB is free");
    EXPECT_EQ (hintLabelOf (main)->getText(), result.reason);
    EXPECT_EQ (leftInFolder, 0) << "nothing was written";
}
