#include "ui/MainComponent.h"
#include "ui/HiddenButton.h"
#include "ui/Palette.h"
#include "core/ProductDefinition.h"
#include "core/FormatStatus.h"
#include "core/HintText.h"
#include "core/InstallPathSettings.h"
#include "core/InstallRun.h"
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

    /** A reduced-alpha palette colour as it comes out over the screen's opaque background. Filling
        with the blended colour gives the same pixels as blending, at the cost of an opaque fill. */
    juce::Colour onBackground (juce::Colour colour, float alpha)
    {
        return Palette::nearBlack.overlaidWith (colour.withAlpha (alpha));
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

juce::File MainComponent::bundleFor (int formatIndex) const
{
    return ProductDefinition::bundleFor (installFolders[(size_t) formatIndex], productName, formatIndex);
}

//==============================================================================
void MainComponent::paint (juce::Graphics& g)
{
    const auto s = scale;

    paintUnchangingLayer (g);

    g.setFont (juce::Font (juce::FontOptions (customLookAndFeel.regularTypeface)));
    g.setFont (2.25f * s);

    for (int i = 0; i < (int) extrasButtons.size(); ++i)
        paintExtrasButton (g, i);

    paintInstallButton (g);

    if (installFinished)
    {
        paintResultView (g);
        return;
    }

    paintSelectAllButton (g);

    for (int i = 0; i < ProductDefinition::numFormats; ++i)
        paintFormatRow (g, i);
}

void MainComponent::paintUnchangingLayer (juce::Graphics& g)
{
    const auto s = scale;
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();

    // The header's large text and wordmark change with nothing but the size, so they are drawn
    // once per size and copied after that, which keeps resizing smooth. On a scaled display
    // they are drawn directly, at full resolution.
    const auto headerBand = getLocalBounds().withHeight (juce::roundToInt (std::ceil (28.0f * s)));

    if (juce::approximatelyEqual (g.getInternalContext().getPhysicalPixelScaleFactor(), 1.0f))
    {
        if (headerLayer.getBounds() != headerBand)
        {
            headerLayer = juce::Image (juce::Image::RGB, headerBand.getWidth(), headerBand.getHeight(), false);
            juce::Graphics layer (headerLayer);
            paintHeaderBand (layer);
        }

        g.drawImageAt (headerLayer, 0, 0);
    }
    else
    {
        juce::Graphics::ScopedSaveState state (g);
        g.reduceClipRegion (headerBand);
        paintHeaderBand (g);
    }

    g.setColour (Palette::nearBlack);
    g.fillRect (getLocalBounds().withTrimmedTop (headerBand.getHeight()));

    g.setColour (onBackground (Palette::warmGrey, 0.5f));
    g.fillEllipse (w - 2.0f * s, h - 2.0f * s, s, s);
    g.fillEllipse (w - 2.0f * s, h - 4.0f * s, s, s);
    g.fillEllipse (w - 4.0f * s, h - 2.0f * s, s, s);

    g.setColour (Palette::warmGrey);
    g.setFont (juce::Font (juce::FontOptions (customLookAndFeel.regularTypeface)).withHeight (4.0f * s));
    g.drawSingleLineText ("EXTRAS", (int) (4.0f * s), (int) (70.0f * s), juce::Justification::left);
    g.fillRect (4.0f * s, 71.5f * s, 92.0f * s, 0.25f * s);
}

/** Everything above the format rows: background, top strip, title, wordmark, FORMATS and its rule. */
void MainComponent::paintHeaderBand (juce::Graphics& g)
{
    const auto s = scale;

    g.fillAll (Palette::nearBlack);

    g.setColour (Palette::blue);
    g.fillRect (0.0f, 0.0f, 100.0f * s, s);

    g.setFont (juce::Font (juce::FontOptions (customLookAndFeel.regularTypeface)));
    paintHeader (g);

    g.setColour (Palette::warmGrey);
    g.setFont (4.0f * s);
    g.drawSingleLineText ("FORMATS", (int) (4.0f * s), (int) (26.0f * s), juce::Justification::left);
    g.fillRect (4.0f * s, 27.5f * s, 92.0f * s, 0.25f * s);
}

void MainComponent::paintHeader (juce::Graphics& g)
{
    const auto s = scale;
    const auto w = (float) getWidth();
    const juce::Rectangle<float> titleArea (4.0f * s, 8.0f * s, w, 12.0f * s);

    g.setColour (Palette::warmGrey);
    g.setFont (9.0f * s);
    g.drawText (productName.toUpperCase() + " DEMO", titleArea, juce::Justification::topLeft, true);

    g.setColour (Palette::warmGrey.withAlpha (0.5f));
    g.setFont (4.0f * s);
    g.drawText ("Version " + productVersion + platformSuffix, titleArea, juce::Justification::bottomLeft, true);

    // The wordmark is black artwork, shown light on the dark header only while it is drawn.
    logo->replaceColour (juce::Colours::black, Palette::offWhite);
    logo->drawWithin (g, { 4.0f * s, 2.5f * s, 26.7f * s, 3.7f * s },
                      juce::RectanglePlacement::xLeft | juce::RectanglePlacement::yMid, 1.0f);
    logo->replaceColour (Palette::offWhite, juce::Colours::black);

    g.setColour (Palette::warmGrey.withAlpha (0.5f));
    g.setFont (3.0f * s);
    g.drawSingleLineText ("PLUGIN MANAGER", (int) (75.0f * s), (int) (4.0f * s), juce::Justification::left);
    g.setFont (2.0f * s);
    g.drawSingleLineText ("v" + juce::String (ProductDefinition::installerVersion), (int) (75.0f * s), (int) (6.0f * s),
                          juce::Justification::left);
}

juce::Colour MainComponent::buttonColour (const juce::Button& button) const
{
    if (button.isMouseButtonDown())
        return Palette::green;

    return onBackground (Palette::warmGrey, button.isMouseOver (false) ? 0.75f : 0.5f);
}

void MainComponent::paintExtrasButton (juce::Graphics& g, int extrasIndex)
{
    const auto s = scale;
    const auto& button = *extrasButtons[(size_t) extrasIndex];
    const auto r = button.getBounds().toFloat();

    g.setColour (buttonColour (button));
    g.fillRoundedRectangle (r, s);

    auto& icon = extrasIndex < 4 ? *buttonIcons[(size_t) extrasIndex] : *changelogIcon;
    icon.drawWithin (g, r.reduced (2.0f * s), juce::RectanglePlacement::centred, 1.0f);

    g.setColour (Palette::warmGrey);
    g.drawText (extrasNames[extrasIndex], r.translated (0.0f, 3.5f * s), juce::Justification::centredBottom, true);
}

void MainComponent::paintInstallButton (juce::Graphics& g)
{
    const auto s = scale;
    const auto r = installButton->getBounds().toFloat();

    g.setColour (buttonColour (*installButton));
    g.fillRoundedRectangle (r, s);

    buttonIcons[4]->drawWithin (g, r.reduced (1.5f * s), juce::RectanglePlacement::centred, 1.0f);

    g.setColour (Palette::warmGrey);
    g.drawText (uninstallMode ? "UNINSTALL" : "INSTALL", r.translated (0.0f, 3.5f * s), juce::Justification::centredBottom, true);
}

bool MainComponent::anyFormatFailed() const
{
    return std::any_of (formatResults.begin(), formatResults.end(), [] (const auto& r) { return ! r.succeeded; });
}

void MainComponent::paintResultView (juce::Graphics& g)
{
    const auto s = scale;
    const juce::Rectangle<float> box (4.0f * s, 28.0f * s, 92.0f * s, 38.0f * s);
    const auto pictureArea = box.reduced (12.0f * s);
    juce::String caption ("SUCCESS!");

    if (anyFormatFailed())
    {
        warningIcon->drawWithin (g, pictureArea, juce::RectanglePlacement::centred, 1.0f);

        juce::StringArray failedNames;
        for (const auto& result : formatResults)
            if (! result.succeeded)
                failedNames.add (formatNames[result.formatIndex]);

        caption = "FAILED: " + failedNames.joinIntoString (", ");
    }
    else
    {
        // The install icon doubles as the success picture, green for this one drawing.
        buttonIcons[4]->replaceColour (Palette::charcoal, Palette::green);
        buttonIcons[4]->drawWithin (g, pictureArea, juce::RectanglePlacement::centred, 1.0f);
        buttonIcons[4]->replaceColour (Palette::green, Palette::charcoal);
    }

    g.setFont (juce::Font (juce::FontOptions (customLookAndFeel.regularTypeface)));
    g.setFont (8.0f * s);
    g.setColour (Palette::offWhite);
    g.drawText (caption, box, juce::Justification::centredBottom, true);
}

void MainComponent::paintSelectAllButton (juce::Graphics& g)
{
    const auto s = scale;
    const auto r = selectAllButton->getBounds().toFloat();
    const bool pressed = selectAllButton->isMouseButtonDown();

    g.setColour (pressed ? Palette::green : onBackground (Palette::warmGrey, 0.1f));
    g.fillRoundedRectangle (r, s);

    g.setColour (pressed ? Palette::charcoal : Palette::warmGrey);
    g.setFont (2.7f * s);
    g.drawText ("SELECT ALL", r, juce::Justification::centred, true);
}

void MainComponent::paintFormatRow (juce::Graphics& g, int formatIndex)
{
    const auto s = scale;
    const auto& button = *formatButtons[(size_t) formatIndex];
    const auto r = button.getBounds().toFloat();
    const bool hovered = button.isMouseOver (false);

    const auto status = FormatStatus::detect (installFolders[(size_t) formatIndex], productName, productVersion, formatIndex);

    if (status.installed)
        g.setColour (onBackground (status.needsUpdate ? Palette::orange : Palette::blue, hovered ? 1.0f : 0.9f));
    else
        g.setColour (onBackground (Palette::warmGrey, hovered ? 0.5f : 0.35f));

    g.fillRoundedRectangle (r, s);

    if (formatSelected[(size_t) formatIndex])
    {
        g.setColour (Palette::yellow);
        g.drawRoundedRectangle (r, s, 0.5f * s);
    }

    const juce::Rectangle<float> text (r.getX() + 11.5f * s, r.getY() + 1.5f * s,
                                       juce::jmax (0.0f, r.getWidth() - 3.0f * s), juce::jmax (0.0f, r.getHeight() - 3.0f * s));

    g.setColour (Palette::nearBlack);
    g.setFont (2.975f * s);
    g.drawText (formatNames[formatIndex], text, juce::Justification::topLeft, true);
    g.setFont (2.55f * s);
    g.drawText (status.getStatusText(), text, juce::Justification::bottomLeft, true);

    formatIcons[(size_t) formatIndex]->drawWithin (g, { r.getX() + s, r.getY() + s, 8.0f * s, juce::jmax (0.0f, r.getHeight() - 2.0f * s) },
                                                   juce::RectanglePlacement::centred, 1.0f);
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

    auto extrasX = 4.0f;

    for (auto& button : extrasButtons)
    {
        place (*button, extrasX, 73.5f, 10.0f, 10.0f);
        extrasX += 11.5f;
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
    const auto name = button->getName();
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
    formatResults = InstallRun::run (uninstallMode ? InstallRun::Action::uninstall : InstallRun::Action::install,
                                     formatSelected, installFolders, productName);

    // Every format that was processed is deselected, whatever happened to it.
    formatSelected.fill (false);

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
    addAndMakeVisible (*eulaPanel);
    followWindow (eulaPanel.get());
}

void MainComponent::openSupportPanel()
{
    supportPanel = std::make_unique<panel_support>();
    addAndMakeVisible (*supportPanel);
    supportPanel->settingsFolder = settingsFolder;
    supportPanel->productName = productName;
    supportPanel->productVersion = productVersion;
    followWindow (supportPanel.get());
}

void MainComponent::openChangelogPanel()
{
    const auto releaseNotes = juce::String::createStringFromData (BinaryData::CHANGELOG_md, BinaryData::CHANGELOG_mdSize);

    changelogPanel = std::make_unique<panel_changelog> (releaseNotes, productName);
    addAndMakeVisible (*changelogPanel);
    followWindow (changelogPanel.get());
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
