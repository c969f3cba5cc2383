#include "TestSupport.h"
#include "ui/MainComponent.h"
#include "ui/HiddenButton.h"
#include "ui/Palette.h"
#include "ui/ComponentLookup.h"
#include "ui/TestWindowManager.h"

#include <utility>

//==============================================================================
// What assistive technology is told of the main screen, through the framework's own handlers.
namespace
{
    std::unique_ptr<juce::AccessibilityHandler> accessibilityOf (juce::Component& parent, const juce::String& name)
    {
        auto* child = childNamed (parent, name);
        return child != nullptr ? child->createAccessibilityHandler() : nullptr;
    }
}

TEST (MainComponentAccessibility, EveryButtonIsTitledWithItsCaptionAndDescribedByItsHintAndInstallByHowToRemove)
{
    ScopedWinePrefix prefix;
    MainComponent main;

    const std::pair<const char*, const char*> expected[] {
        { "EULA",       "Click to read End-User License Agreement" },
        { "MANUAL",     "Click to open product manual in your web browser" },
        { "WEBSITE",    "Click to open product page on the Orvanta website" },
        { "SUPPORT",    "Email and Discord support" },
        { "CHANGES",    "Click to view release notes" },
        { "INSTALL",    "Click to install selected. Shift-click to uninstall selected. "
                        "Shift+Return removes the selected formats" },
    };

    for (const auto& [name, hint] : expected)
    {
        const auto handler = accessibilityOf (main, name);
        ASSERT_NE (handler, nullptr) << name;
        EXPECT_EQ (handler->getTitle(), name);
        EXPECT_EQ (handler->getRole(), juce::AccessibilityRole::button) << name;
        EXPECT_EQ (handler->getDescription(), hint) << name;
        EXPECT_FALSE (handler->getCurrentState().isCheckable()) << name;
        EXPECT_TRUE (handler->getActions().contains (juce::AccessibilityActionType::press)) << name;
    }

    const auto selectAll = accessibilityOf (main, "SELECT_ALL");
    EXPECT_EQ (selectAll->getTitle(), "SELECT ALL") << "the caption, not the component name";
    EXPECT_EQ (selectAll->getRole(), juce::AccessibilityRole::button);

    // While Shift is held the caption, and so the title, reads UNINSTALL.
    main.modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::shiftModifier));
    EXPECT_EQ (accessibilityOf (main, "INSTALL")->getTitle(), "UNINSTALL");
}

TEST (MainComponentAccessibility, FormatButtonsAreTogglesOfTheSelectionWithTheirStatusReadFirst)
{
    ScopedWinePrefix prefix;
    const auto vst3Module = prefix.commonFiles().getChildFile ("VST3/Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3");
    vst3Module.getParentDirectory().createDirectory();
    juce::File (OV_TEST_DATA_DIR "/modules/version_2.4.2.9.dll").copyFileTo (vst3Module);

    MainComponent main;
    const auto vst3 = accessibilityOf (main, "VST3");
    const auto aax = accessibilityOf (main, "AAX");

    EXPECT_EQ (vst3->getTitle(), "VST3");
    EXPECT_EQ (vst3->getRole(), juce::AccessibilityRole::toggleButton);
    EXPECT_EQ (vst3->getHelp(), "v2.4.2.9 NEEDS UPDATE");
    EXPECT_EQ (vst3->getDescription(), "v2.4.2.9 NEEDS UPDATE. Select to update VST3 to 2.4.3");
    EXPECT_TRUE (vst3->getCurrentState().isCheckable());
    EXPECT_TRUE (vst3->getCurrentState().isChecked()) << "an installed format starts selected";

    EXPECT_EQ (aax->getHelp(), "NOT INSTALLED");
    EXPECT_EQ (aax->getDescription(), "NOT INSTALLED. Select to install AAX");
    EXPECT_FALSE (aax->getCurrentState().isChecked());

    // Toggling through the handler is a click: the selection, and so the state, changes at once.
    EXPECT_TRUE (vst3->getActions().invoke (juce::AccessibilityActionType::toggle));
    EXPECT_FALSE (main.isFormatSelected (0));
    EXPECT_FALSE (vst3->getCurrentState().isChecked());

    EXPECT_TRUE (accessibilityOf (main, "SELECT_ALL")->getActions().invoke (juce::AccessibilityActionType::press));
    EXPECT_TRUE (vst3->getCurrentState().isChecked() && aax->getCurrentState().isChecked());

    // Help and description follow the disk: with the bundle gone the row reads NOT INSTALLED.
    vst3Module.getParentDirectory().getParentDirectory().getParentDirectory().deleteRecursively();
    EXPECT_EQ (vst3->getHelp(), "NOT INSTALLED");
    EXPECT_EQ (vst3->getDescription(), "NOT INSTALLED. Select to install VST3");
}

TEST (MainComponentAccessibility, TheResultViewIsDescribedWithWhatWasInstalledAndWhatFailedAndWhy)
{
    ScopedWinePrefix prefix;
    blockAaxFolder (prefix);

    MainComponent main;
    accessibilityOf (main, "SELECT_ALL")->getActions().invoke (juce::AccessibilityActionType::press);
    accessibilityOf (main, "INSTALL")->getActions().invoke (juce::AccessibilityActionType::press);

    ASSERT_EQ (main.getFormatResults().size(), 3u);
    const auto reason = main.getFormatResults()[2].reason;
    ASSERT_TRUE (reason.isNotEmpty());
    EXPECT_EQ (main.getDescription(), "FAILED: AAX. Installed VST3 and CLAP. AAX failed: " + reason);
}

TEST (MainComponentAccessibility, ARemovalIsDescribedAsSuch)
{
    ScopedWinePrefix prefix;
    prefix.commonFiles().getChildFile ("CLAP").createDirectory();
    prefix.commonFiles().getChildFile ("CLAP/Kelvara 2.clap").replaceWithText ("module");

    MainComponent main;
    main.modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::shiftModifier));
    main.buttonClicked (buttonNamed (main, "INSTALL"));

    EXPECT_EQ (main.getDescription(), "SUCCESS! Removed CLAP.");
    EXPECT_FALSE (prefix.commonFiles().getChildFile ("CLAP/Kelvara 2.clap").exists());
}

TEST (MainComponentAccessibility, ScreenReadersMeetTheButtonsInReadingOrderAndOnlyTheExtrasAfterARun)
{
    // The framework hands out handlers only for components on the desktop, and its windows need
    // a window manager.
    const TestWindowManager windowManager;
    ASSERT_TRUE (TestWindowManager::isRunning()) << "no window manager";

    ScopedWinePrefix prefix;
    MainComponent main;
    main.addToDesktop (0);
    main.setVisible (true);

    const auto buttonTitles = [&main]
    {
        juce::StringArray titles;

        for (auto* child : main.getAccessibilityHandler()->getChildren())
            if (child->getRole() == juce::AccessibilityRole::button || child->getRole() == juce::AccessibilityRole::toggleButton)
                titles.add (child->getTitle());

        return titles;
    };

    EXPECT_EQ (buttonTitles(), juce::StringArray ({ "SELECT ALL", "VST3", "CLAP", "AAX",
                                                    "EULA", "MANUAL", "WEBSITE", "SUPPORT", "CHANGES", "INSTALL" }));

    main.buttonClicked (buttonNamed (main, "INSTALL"));
    EXPECT_EQ (buttonTitles(), juce::StringArray ({ "EULA", "MANUAL", "WEBSITE", "SUPPORT", "CHANGES" }));
}

//==============================================================================
namespace
{
    /** Waits for the window manager to map the window, then gives it the keyboard focus, as a
        click on it would; false when that never happens. Asks the X server, so it needs no
        message loop. */
    bool focusWindow (juce::Component& window)
    {
        for (const auto deadline = juce::Time::getMillisecondCounter() + 10000; juce::Time::getMillisecondCounter() < deadline;)
        {
            if (auto* peer = window.getPeer())
            {
                peer->grabFocus();

                if (peer->isFocused())
                    return true;
            }

            juce::Thread::sleep (20);
        }

        return false;
    }
}

/** The main screen in a window of its own, where the framework hands out its handlers and
    passes on what they report. What the format buttons and INSTALL report is logged as a screen
    reader takes it in: with what their handlers say at that moment. */
class MainScreenInAWindow : public ::testing::Test
{
protected:
    void show()
    {
        ASSERT_TRUE (TestWindowManager::isRunning()) << "no window manager";

        main = std::make_unique<MainComponent>();
        main->addToDesktop (juce::ComponentPeer::windowHasTitleBar);
        main->setVisible (true);
        ASSERT_TRUE (focusWindow (*main)) << "the window never took the focus";

        for (const auto* name : { "VST3", "CLAP", "AAX", "INSTALL" })
        {
            auto* button = dynamic_cast<HiddenButton*> (childNamed (*main, name));
            ASSERT_NE (button, nullptr) << name;
            button->onChangeReported = [this, button] (HiddenButton::Change change) { hear (*button, change); };
        }
    }

    /** What was heard since the last call, one report an entry. */
    juce::StringArray heard()
    {
        return std::exchange (reports, {});
    }

    /** A key as the window receives it: to the focused control first, then up to its screen. */
    void pressKey (int keyCode, juce::ModifierKeys modifiers = {})
    {
        main->getPeer()->handleKeyPress (juce::KeyPress (keyCode, modifiers, 0));
    }

    void pressKeyOn (const juce::String& buttonName, int keyCode, juce::ModifierKeys modifiers = {})
    {
        auto* button = childNamed (*main, buttonName);
        button->grabKeyboardFocus();
        ASSERT_TRUE (button->hasKeyboardFocus (false)) << buttonName;
        pressKey (keyCode, modifiers);
    }

    juce::Component& child (const juce::String& name)
    {
        return *childNamed (*main, name);
    }

    const TestWindowManager windowManager;
    ScopedWinePrefix prefix;
    std::unique_ptr<MainComponent> main;

private:
    void hear (juce::Button& button, HiddenButton::Change change)
    {
        const auto* handler = button.getAccessibilityHandler();

        if (change == HiddenButton::Change::title)
            reports.add ("title " + handler->getTitle());
        else
            reports.add (button.getName() + (handler->getCurrentState().isChecked() ? " on" : " off"));
    }

    juce::StringArray reports;
};

TEST_F (MainScreenInAWindow, EveryChangeOfTheSelectionIsHeardAsAToggleOfItsFormat)
{
    show();

    main->buttonClicked (buttonNamed (*main, "VST3"));
    EXPECT_EQ (heard(), juce::StringArray ({ "VST3 on" })) << "a click";

    pressKeyOn ("CLAP", juce::KeyPress::spaceKey);
    EXPECT_EQ (heard(), juce::StringArray ({ "CLAP on" })) << "Space";

    pressKey (juce::KeyPress::returnKey);
    EXPECT_EQ (heard(), juce::StringArray ({ "CLAP off" })) << "Return";

    child ("AAX").getAccessibilityHandler()->getActions().invoke (juce::AccessibilityActionType::toggle);
    EXPECT_EQ (heard(), juce::StringArray ({ "AAX on" })) << "a toggle by assistive technology";

    // SELECT ALL changes only the one left off, and a second time nothing.
    pressKeyOn ("SELECT_ALL", juce::KeyPress::spaceKey);
    EXPECT_EQ (heard(), juce::StringArray ({ "CLAP on" }));
    main->buttonClicked (buttonNamed (*main, "SELECT_ALL"));
    EXPECT_TRUE (heard().isEmpty());

    // The run deselects every format it processed.
    main->buttonClicked (buttonNamed (*main, "INSTALL"));
    EXPECT_EQ (heard(), juce::StringArray ({ "VST3 off", "CLAP off", "AAX off" }));
}

TEST_F (MainScreenInAWindow, HoldingShiftRetitlesInstallAndSaysSo)
{
    show();

    main->modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::shiftModifier));
    EXPECT_EQ (heard(), juce::StringArray ({ "title UNINSTALL" }));

    main->modifierKeysChanged (juce::ModifierKeys (juce::ModifierKeys::shiftModifier | juce::ModifierKeys::ctrlModifier));
    EXPECT_TRUE (heard().isEmpty()) << "Ctrl changes no title";

    main->modifierKeysChanged ({});
    EXPECT_EQ (heard(), juce::StringArray ({ "title INSTALL" }));
}

TEST_F (MainScreenInAWindow, AfterARunTheKeyboardCarriesOnFromTheFirstExtrasButton)
{
    show();
    pressKeyOn ("INSTALL", juce::KeyPress::returnKey);
    ASSERT_TRUE (main->isInstallFinished());

    EXPECT_TRUE (child ("EULA").hasKeyboardFocus (false));
    EXPECT_TRUE (child ("EULA").getAccessibilityHandler()->hasFocus (false)) << "a screen reader is told where the focus went";
    EXPECT_EQ (hintLabelOf (*main)->getText(), "Click to read End-User License Agreement");
    EXPECT_TRUE (main->getDescription().startsWith ("SUCCESS!"));

    pressKey (juce::KeyPress::tabKey);
    EXPECT_TRUE (child ("MANUAL").hasKeyboardFocus (false));
}

TEST_F (MainScreenInAWindow, AfterAFailedRunTheReasonStaysUntilTheKeyboardMovesOn)
{
    blockAaxFolder (prefix);
    show();
    main->buttonClicked (buttonNamed (*main, "SELECT_ALL"));
    pressKeyOn ("INSTALL", juce::KeyPress::returnKey);

    ASSERT_EQ (main->getFormatResults().size(), 3u);
    const auto reason = main->getFormatResults()[2].reason;
    auto* hint = hintLabelOf (*main);

    EXPECT_TRUE (child ("EULA").hasKeyboardFocus (false));
    EXPECT_EQ (hint->getText(), reason);
    EXPECT_EQ (hint->findColour (juce::Label::textColourId), Palette::warmGrey) << "the reason at full strength";

    pressKey (juce::KeyPress::tabKey);
    EXPECT_EQ (hint->getText(), "Click to open product manual in your web browser");
    EXPECT_EQ (hint->findColour (juce::Label::textColourId).getARGB(), 0x80AAA6A6u) << "hints at the hint colour";
}
