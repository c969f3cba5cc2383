#include "ui/MainComponent.h"
#include "ui/HiddenButton.h"
#include "ui/MainScreenPainter.h"
#include "ui/MainScreenLayout.h"
#include "ui/MainScreenAccessibility.h"
#include "ui/EmbeddedAssets.h"
#include "ui/Palette.h"
#include "core/ProductDefinition.h"
#include "core/FormatStatus.h"
#include "core/HintText.h"
#include "core/InstallFolders.h"
#include "core/InstallPathSettings.h"
#include "core/InstallRun.h"
#include "core/LinkSafeRemoval.h"
#include "core/UninstallEntry.h"

#include <algorithm>
#include <utility>

namespace
{
    constexpr int shiftBit = juce::ModifierKeys::shiftModifier;
    constexpr int trackedModifierBits = 15;   // Shift, Ctrl, Alt and the Command key

    // The hints are drawn at half strength; a failure reason at full strength, so that it reads
    // at more than 4.5 to 1 against the background where half strength reaches about 2.8.
    // Functions, since the palette's colours are constants of another file, made in no set order.
    juce::Colour hintColour()             { return Palette::warmGrey.withAlpha ((juce::uint8) 128); }
    juce::Colour failureReasonColour()    { return Palette::warmGrey; }
}

//==============================================================================
MainComponent::MainComponent()
{
    juce::LookAndFeel::setDefaultLookAndFeel (&customLookAndFeel);

    scale = 9.0f;
    uninstallMode = false;
    installFinished = false;

    loadPictures();

    platformSuffix = ProductDefinition::platformSuffix;
    setDefaultInstallFolders();

    productName = ProductDefinition::displayProductName (ProductDefinition::rawProductName);
    productVersion = ProductDefinition::productVersion;

    productPageUrl = juce::URL (ProductDefinition::productPageAddress);
    manualUrl = juce::URL (ProductDefinition::manualAddress);

    settingsFolder = InstallFolders::settingsFolder();
    resolveInstallFolders();

    for (size_t i = 0; i < extrasButtons.size(); ++i)
        extrasButtons[i] = HiddenButton::addTo (*this, *this, extrasNames[(int) i]);

    for (size_t i = 0; i < formatButtons.size(); ++i)
    {
        formatSelected[i] = bundleFor ((int) i).exists();
        formatButtons[i] = HiddenButton::addTo (*this, *this, formatNames[(int) i]);
    }

    installButton = HiddenButton::addTo (*this, *this, "INSTALL");
    selectAllButton = HiddenButton::addTo (*this, *this, "SELECT_ALL");

    createHintLabel();
    createKeyboardNavigation();

    setTitle ("PLUGIN MANAGER");
    MainScreenAccessibility::describeButtons (*this, { productName, productVersion, installFolders, formatSelected, uninstallMode });

    setSize (600, 600);
}

MainComponent::~MainComponent()
{
    // A helper script that an earlier tool may have left in the temporary folder. The folder is
    // shared with everything the user runs and this process may have administrator rights, so a
    // link there is removed, never followed.
    const auto temporaryFolder = juce::File::getSpecialLocation (juce::File::tempDirectory);

    if (temporaryFolder.getChildFile ("script.sh").existsAsFile())
        LinkSafeRemoval::deleteFileIn (temporaryFolder, "script.sh");
}

//==============================================================================
void MainComponent::loadPictures()
{
    EmbeddedAssets::loadPictures (formatIcons, buttonIcons, changelogIcon, logo, warningIcon);
}

void MainComponent::setDefaultInstallFolders()
{
    installFolders = InstallFolders::defaults();
}

void MainComponent::resolveInstallFolders()
{
    InstallPathSettings::resolve (settingsFolder, installFolders);
}

void MainComponent::createHintLabel()
{
    hintLabel = std::make_unique<juce::Label>();
    addAndMakeVisible (*hintLabel);
    hintLabel->setJustificationType (juce::Justification::centred);
    hintLabel->setColour (juce::Label::textColourId, hintColour());
    hintLabel->setText (ProductDefinition::installerVersion, juce::dontSendNotification);
}

// Hidden buttons are passed over, so that after the install run only the extras are left.
void MainComponent::createKeyboardNavigation()
{
    const auto order = [this]
    {
        return MainScreenLayout::readingOrder (extrasButtons, formatButtons, *installButton, *selectAllButton);
    };

    // Shift+Return removes: the key's own modifiers decide, as the Shift key does for a click.
    const auto press = [this] (juce::Button& button, const juce::ModifierKeys& modifiers)
    {
        modifierKeysChanged (modifiers);
        buttonClicked (&button);
    };

    keyboard = std::make_unique<KeyboardNavigation> (*this, order, press, true);
    keyboard->onFocusMovedByKeyboard = [this] (juce::Component& control)
    {
        if (auto* button = dynamic_cast<juce::Button*> (&control))
        {
            setFailureReasonShown (false);
            showHintFor (*button);
        }
    };
}

juce::File MainComponent::bundleFor (int formatIndex) const
{
    return ProductDefinition::bundleFor (installFolders[(size_t) formatIndex], productName, formatIndex);
}

//==============================================================================
void MainComponent::paint (juce::Graphics& g)
{
    MainScreenPainter::paint (g, { scale, getLocalBounds(),
                                   productName, productVersion, platformSuffix, customLookAndFeel.regularTypeface,
                                   extrasButtons, formatButtons, *installButton, *selectAllButton,
                                   formatIcons, buttonIcons, *logo, *changelogIcon, *warningIcon,
                                   formatSelected, installFolders, formatResults, uninstallMode, installFinished,
                                   headerLayer });
}

void MainComponent::resized()
{
    scale = (float) getWidth() * 0.01f;
    const auto s = scale;

    MainScreenLayout::layOut (s, extrasButtons, formatButtons, *installButton, *selectAllButton, *hintLabel,
                              customLookAndFeel.regularTypeface);

    // Every panel there is, shown or detached, takes the new size and scale.
    followWindow (eulaPanel.get());
    followWindow (supportPanel.get());
    followWindow (changelogPanel.get());
}

void MainComponent::modifierKeysChanged (const juce::ModifierKeys& modifiers)
{
    const auto newFlags = modifiers.getRawFlags() & trackedModifierBits;
    const auto changed = newFlags ^ lastModifierFlags;

    if ((changed & shiftBit) != 0)
    {
        uninstallMode = (newFlags & shiftBit) != 0;
        repaint();

        // INSTALL's caption, and so its title, now reads UNINSTALL or INSTALL again.
        if (installButton->isVisible())
            reportChange (*installButton, HiddenButton::Change::title);
    }

    // Ctrl, Alt and Command switch no mode; the screen is only refreshed.
    for (const auto bit : { (int) juce::ModifierKeys::ctrlModifier, (int) juce::ModifierKeys::altModifier, 8 })
        if ((changed & bit) != 0)
            repaint();

    lastModifierFlags = newFlags;
}

void MainComponent::buttonClicked (juce::Button* button)
{
    const auto name = button->getName();

    if (name == "EULA")             openEulaPanel();
    else if (name == "WEBSITE")     productPageUrl.launchInDefaultBrowser();
    else if (name == "MANUAL")      manualUrl.launchInDefaultBrowser();
    else if (name == "SUPPORT")     openSupportPanel();
    else if (name == "CHANGES")     openChangelogPanel();
    else if (name == "VST3")        toggleFormat (ProductDefinition::vst3);
    else if (name == "CLAP")        toggleFormat (ProductDefinition::clap);
    else if (name == "AAX")         toggleFormat (ProductDefinition::aax);
    else if (name == "INSTALL")     { installSelectedFormats(); announceResult(); }
    else if (name == "SELECT_ALL")  selectAllFormats();
}

void MainComponent::buttonStateChanged (juce::Button* button)
{
    if (! button->isMouseOver (false))
    {
        // After a run the reason or note stays until the mouse first touches a button.
        if (! showingFailureReason)
            hintLabel->setText ({}, juce::dontSendNotification);

        return;
    }

    setFailureReasonShown (false);
    showHintFor (*button);
}

bool MainComponent::keyPressed (const juce::KeyPress& key)
{
    return keyboard->handleKey (key);
}

// The ring goes when the focus leaves the screen, as when the window is no longer active.
void MainComponent::focusOfChildComponentChanged (FocusChangeType)
{
    if (keyboard != nullptr && keyboard->isFocusRingShown())
        repaint();
}

void MainComponent::showHintFor (const juce::Button& button)
{
    const auto name = button.getName();
    const auto formatIndex = formatNames.indexOf (name);
    const bool bundleExists = formatIndex >= 0 && formatIndex < ProductDefinition::numFormats && bundleFor (formatIndex).exists();

    if (const auto hint = HintText::forButton (name, bundleExists, productVersion))
        hintLabel->setText (*hint, juce::dontSendNotification);
}

//==============================================================================
void MainComponent::toggleFormat (int formatIndex)
{
    auto selection = formatSelected;
    selection[(size_t) formatIndex] = ! selection[(size_t) formatIndex];
    changeSelection (selection);
    repaint();
}

void MainComponent::selectAllFormats()
{
    changeSelection ({ true, true, true });
    repaint();
}

// Assistive technology hears of each format whose selection changed, once it has changed.
void MainComponent::changeSelection (const std::array<bool, 3>& newSelection)
{
    const auto previous = std::exchange (formatSelected, newSelection);

    for (size_t i = 0; i < formatSelected.size(); ++i)
        if (formatSelected[i] != previous[i])
            reportChange (*formatButtons[i], HiddenButton::Change::toggleState);
}

void MainComponent::reportChange (juce::Button& button, HiddenButton::Change change)
{
    if (auto* hidden = dynamic_cast<HiddenButton*> (&button))
        hidden->reportChange (change);
}

void MainComponent::setFailureReasonShown (bool shown)
{
    showingFailureReason = shown;
    hintLabel->setColour (juce::Label::textColourId, shown ? failureReasonColour() : hintColour());
}

void MainComponent::installSelectedFormats()
{
    // The whole run blocks the message thread, so the pointer says so until it is done.
    juce::MouseCursor::showWaitCursor();
    formatResults = InstallRun::run (uninstallMode ? InstallRun::Action::uninstall : InstallRun::Action::install,
                                     formatSelected, installFolders, productName);
    InstallRun::addRunNote (formatResults, UninstallEntry::refresh (installFolders, productName));

    // Every format that was processed is deselected, whatever happened to it.
    changeSelection ({});

    juce::MouseCursor::hideWaitCursor();

    // The hint line tells why a format failed or, when none did, what a success left behind.
    const auto failure = std::find_if (formatResults.begin(), formatResults.end(), [] (const auto& r) { return ! r.succeeded; });
    const auto noted = std::find_if (formatResults.begin(), formatResults.end(), [] (const auto& r) { return r.note.isNotEmpty(); });

    if (failure != formatResults.end())
        hintLabel->setText (failure->reason, juce::dontSendNotification);
    else if (noted != formatResults.end())
        hintLabel->setText (noted->note, juce::dontSendNotification);

    setFailureReasonShown (failure != formatResults.end() || noted != formatResults.end());

    installFinished = true;

    for (auto& button : formatButtons)
        button->setVisible (false);

    selectAllButton->setVisible (false);
    installButton->setVisible (false);
    repaint();

    focusAfterRun();
}

// The focus was on a button that is gone, or elsewhere on the screen; the keyboard carries on
// from the first extras button, in reading order the first button left. A window that is not
// active is left alone.
void MainComponent::focusAfterRun()
{
    auto* peer = getPeer();

    if (peer == nullptr || ! peer->isFocused())
        return;

    auto& first = *extrasButtons.front();
    first.grabKeyboardFocus();

    if (keyboard->isFocusRingShown())
    {
        repaint();

        // The hint follows the keyboard's focus, except that a failure reason stays.
        if (! showingFailureReason)
            showHintFor (first);
    }
}

// The result view in words: kept as the screen's description and read out at once.
void MainComponent::announceResult()
{
    const auto result = MainScreenAccessibility::describeResult (formatResults, uninstallMode);
    setDescription (result);
    juce::AccessibilityHandler::postAnnouncement (result, juce::AccessibilityHandler::AnnouncementPriority::high);
}

//==============================================================================
void MainComponent::openEulaPanel()
{
    // The panel shown before is deleted here, once the new one exists.
    eulaPanel = std::make_unique<panel_eula> (eulaText);
    present (*eulaPanel, 0);
}

void MainComponent::openSupportPanel()
{
    supportPanel = std::make_unique<panel_support>();
    supportPanel->settingsFolder = settingsFolder;
    supportPanel->productName = productName;
    supportPanel->productVersion = productVersion;
    present (*supportPanel, 3);
}

void MainComponent::openChangelogPanel()
{
    changelogPanel = std::make_unique<panel_changelog> (EmbeddedAssets::releaseNotes(), productName);
    present (*changelogPanel, 4);
}

// The scale goes in first, so that the panel lays itself out with it when the bounds are set.
template <typename Panel>
void MainComponent::followWindow (Panel* panel)
{
    if (panel == nullptr)
        return;

    panel->scale = scale;
    panel->setBounds (getBounds());
    panel->setAlwaysOnTop (true);
}

// The panel covers the screen and takes the focus; when it closes, its opener has it back.
template <typename Panel>
void MainComponent::present (Panel& panel, int openerExtrasIndex)
{
    addAndMakeVisible (panel);
    followWindow (&panel);
    panel.grabKeyboardFocus();
    keyboard->returnFocusWhenClosed (panel, *extrasButtons[(size_t) openerExtrasIndex]);
}
