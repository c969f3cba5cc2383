#include "ui/MainComponent.h"
#include "ui/HiddenButton.h"
#include "ui/MainScreenPainter.h"
#include "ui/Palette.h"
#include "core/ProductDefinition.h"
#include "core/FormatStatus.h"
#include "core/HintText.h"
#include "core/InstallPathSettings.h"
#include "core/WindowsLocations.h"

#include <BinaryData.h>

namespace
{
    constexpr int shiftBit = juce::ModifierKeys::shiftModifier;
    constexpr int trackedModifierBits = 15;   // Shift, Ctrl, Alt and the Command key

    std::unique_ptr<juce::Drawable> loadIcon (const char* data, int size)
    {
        auto drawable = juce::Drawable::createFromImageData (data, (size_t) size);
        jassert (drawable != nullptr);
        return drawable;
    }

    struct Payload
    {
        const char* data;
        int size;
    };

    Payload payloadFor (int formatIndex)
    {
        switch (formatIndex)
        {
            case ProductDefinition::vst3:  return { BinaryData::vst3_zip, BinaryData::vst3_zipSize };
            case ProductDefinition::clap:  return { BinaryData::clap_zip, BinaryData::clap_zipSize };
            case ProductDefinition::aax:   return { BinaryData::aax_zip,  BinaryData::aax_zipSize };
            default:                       break;
        }

        jassertfalse;
        return { nullptr, 0 };
    }

    std::unique_ptr<juce::Drawable> loadCharcoalIcon (const char* data, int size)
    {
        auto drawable = loadIcon (data, size);
        drawable->replaceColour (juce::Colours::black, Palette::charcoal);
        return drawable;
    }
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

    settingsFolder = WindowsLocations::commonApplicationDataFolder()
                         .getChildFile (ProductDefinition::settingsFolderName);
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

    setSize (600, 600);
}

MainComponent::~MainComponent()
{
    // A helper script that an earlier tool may have left in the temporary folder.
    const auto strayScript = juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("script.sh");

    if (strayScript.existsAsFile())
        strayScript.deleteFile();
}

//==============================================================================
void MainComponent::loadPictures()
{
    formatIcons[0] = loadCharcoalIcon (BinaryData::icon_vst3_svg, BinaryData::icon_vst3_svgSize);
    formatIcons[1] = loadCharcoalIcon (BinaryData::icon_clap_svg, BinaryData::icon_clap_svgSize);
    formatIcons[2] = loadCharcoalIcon (BinaryData::icon_aax_svg,  BinaryData::icon_aax_svgSize);

    buttonIcons[0] = loadCharcoalIcon (BinaryData::icon_eula_svg,    BinaryData::icon_eula_svgSize);
    buttonIcons[1] = loadCharcoalIcon (BinaryData::icon_manual_svg,  BinaryData::icon_manual_svgSize);
    buttonIcons[2] = loadCharcoalIcon (BinaryData::icon_web_svg,     BinaryData::icon_web_svgSize);
    buttonIcons[3] = loadCharcoalIcon (BinaryData::icon_help_svg,    BinaryData::icon_help_svgSize);
    buttonIcons[4] = loadCharcoalIcon (BinaryData::icon_install_svg, BinaryData::icon_install_svgSize);

    changelogIcon = loadCharcoalIcon (BinaryData::icon_changelog_svg, BinaryData::icon_changelog_svgSize);

    // The wordmark keeps its black; painting recolours it only while it draws it.
    logo = loadIcon (BinaryData::logo_orvanta_svg, BinaryData::logo_orvanta_svgSize);

    // Drawn as it is, in its own orange.
    warningIcon = loadIcon (BinaryData::icon_warning_svg, BinaryData::icon_warning_svgSize);
}

void MainComponent::setDefaultInstallFolders()
{
    const auto base = WindowsLocations::commonFilesFolder();

    for (const auto formatIndex : { ProductDefinition::clap, ProductDefinition::vst3, ProductDefinition::aax })
        installFolders[(size_t) formatIndex] = base.getChildFile (ProductDefinition::defaultInstallFolderChild (formatIndex));
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
    hintLabel->setColour (juce::Label::textColourId, Palette::warmGrey.withAlpha ((juce::uint8) 128));
    hintLabel->setText (ProductDefinition::installerVersion, juce::dontSendNotification);
}

// Reading order: SELECT ALL, the formats, the extras, INSTALL. Hidden buttons are passed over.
void MainComponent::createKeyboardNavigation()
{
    const auto order = [this]
    {
        return std::vector<juce::Component*> { selectAllButton.get(), formatButtons[0].get(), formatButtons[1].get(),
                                               formatButtons[2].get(), extrasButtons[0].get(), extrasButtons[1].get(),
                                               extrasButtons[2].get(), extrasButtons[3].get(), extrasButtons[4].get(),
                                               installButton.get() };
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
            showingFailureReason = false;
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

    const auto place = [s] (juce::Component& child, float x, float y, float w, float h)
    {
        child.setBounds (juce::roundToInt (x * s), juce::roundToInt (y * s),
                         juce::roundToInt (w * s), juce::roundToInt (h * s));
    };

    // Each extras x is a sum of scaled terms, 4s then 11.5s per button, rounded on its own:
    // adding the units first and scaling the sum lands a pixel off at some widths.
    auto extrasX = 4.0f * s;

    for (auto& button : extrasButtons)
    {
        button->setBounds (juce::roundToInt (extrasX), juce::roundToInt (73.5f * s),
                           juce::roundToInt (10.0f * s), juce::roundToInt (10.0f * s));
        extrasX += 11.5f * s;
    }

    place (*installButton,    86.0f, 73.5f, 10.0f, 10.0f);
    place (*selectAllButton,  77.0f, 22.0f, 19.0f,  5.0f);
    place (*formatButtons[0],  4.0f, 30.0f, 45.0f, 10.0f);
    place (*formatButtons[1], 51.0f, 30.0f, 45.0f, 10.0f);
    place (*formatButtons[2],  4.0f, 42.0f, 45.0f, 10.0f);

    hintLabel->setFont (juce::Font (juce::FontOptions (customLookAndFeel.regularTypeface).withHeight (3.0f * s)));
    place (*hintLabel, 4.0f, 90.0f, 92.0f, 3.0f);

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
    else if (name == "INSTALL")     installSelectedFormats();
    else if (name == "SELECT_ALL")  selectAllFormats();
}

void MainComponent::buttonStateChanged (juce::Button* button)
{
    if (! button->isMouseOver (false))
    {
        // After a failed run the reason stays until the mouse first touches a button.
        if (! showingFailureReason)
            hintLabel->setText ({}, juce::dontSendNotification);

        return;
    }

    showingFailureReason = false;
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
    formatSelected[(size_t) formatIndex] = ! formatSelected[(size_t) formatIndex];
    repaint();
}

void MainComponent::selectAllFormats()
{
    formatSelected.fill (true);
    repaint();
}

void MainComponent::installSelectedFormats()
{
    // The whole run blocks the message thread, so the pointer says so until it is done.
    juce::MouseCursor::showWaitCursor();
    formatResults.clear();

    for (int formatIndex = 0; formatIndex < ProductDefinition::numFormats; ++formatIndex)
    {
        if (! formatSelected[(size_t) formatIndex])
            continue;

        const auto& folder = installFolders[(size_t) formatIndex];
        const auto bundleName = ProductDefinition::bundleName (productName, formatIndex);

        if (uninstallMode)
        {
            formatResults.push_back (InstallEngine::uninstall (formatIndex, folder, bundleName));
        }
        else
        {
            const auto payload = payloadFor (formatIndex);
            formatResults.push_back (InstallEngine::install (formatIndex, folder, bundleName, payload.data, (size_t) payload.size));
        }

        formatSelected[(size_t) formatIndex] = false;
    }

    juce::MouseCursor::hideWaitCursor();

    for (const auto& result : formatResults)
    {
        if (! result.succeeded)
        {
            hintLabel->setText (result.reason, juce::dontSendNotification);
            showingFailureReason = true;
            break;
        }
    }

    installFinished = true;

    for (auto& button : formatButtons)
        button->setVisible (false);

    selectAllButton->setVisible (false);
    installButton->setVisible (false);
    repaint();
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
    const auto releaseNotes = juce::String::createStringFromData (BinaryData::CHANGELOG_md, BinaryData::CHANGELOG_mdSize);

    changelogPanel = std::make_unique<panel_changelog> (releaseNotes, productName);
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
