#include "panels/panel_support.h"
#include "ui/HiddenButton.h"
#include "ui/PanelFrame.h"
#include "ui/Palette.h"
#include "core/ProductDefinition.h"
#include "core/InstallPathSettings.h"
#include "core/SupportMail.h"

#include <BinaryData.h>

namespace
{
    std::unique_ptr<juce::Drawable> charcoalIcon (const char* data, int size)
    {
        auto icon = juce::Drawable::createFromImageData (data, (size_t) size);
        jassert (icon != nullptr);
        icon->replaceColour (juce::Colours::black, Palette::charcoal);
        return icon;
    }

    const char* const discordParagraph = "The Orvanta Discord is a vibrant community of musicians and producers, and this is the "
                                         "fastest way to get answers to simple questions. Just join and drop in the appropriate channel. ";

    const char* const mailParagraph = "If you have more complicated questions, or matters that need to remain private, concerning "
                                      "account information, etc., feel free to email us.";
}

//==============================================================================
panel_support::panel_support()
{
    discordIcon = charcoalIcon (BinaryData::icon_discord_svg, BinaryData::icon_discord_svgSize);
    mailIcon    = charcoalIcon (BinaryData::icon_mail_svg, BinaryData::icon_mail_svgSize);

    closeButton   = HiddenButton::addTo (*this, *this, "X");
    discordButton = HiddenButton::addTo (*this, *this, "DISCORD");
    mailButton    = HiddenButton::addTo (*this, *this, "MAIL");


    setTitle ("SUPPORT");
    PanelFrame::describeCloseButton (*this);
    HiddenButton::describe (*this, "DISCORD", { [] { return juce::String ("DISCORD"); },
                                                [] { return juce::String ("Join the Orvanta Discord in your web browser"); }, {}, {} });
    HiddenButton::describe (*this, "MAIL", { [] { return juce::String ("E-MAIL"); },
                                             [] { return juce::String ("Write to Orvanta support in your mail program"); }, {}, {} });

    // The panel takes the focus when it opens and keeps it: Tab cycles through its own controls.
    setWantsKeyboardFocus (true);
    setFocusContainerType (FocusContainerType::keyboardFocusContainer);
    keyboard = std::make_unique<KeyboardNavigation> (*this, [this] { return std::vector<juce::Component*> { closeButton.get(), discordButton.get(), mailButton.get() }; },
                                                     [this] (juce::Button& button, const juce::ModifierKeys&) { buttonClicked (&button); });
}

panel_support::~panel_support() = default;

juce::String panel_support::aboutText (const juce::File& folder)
{
    return juce::String ("The Orvanta Plugin Manager v") + ProductDefinition::installerVersion
         + " cross-platform installater. \nFeel free to drop us a line if you have any suggestions or questions "
           "concerning its use. You can edit the default installation paths in the text file found at "
         + folder.getFullPathName() + "/" + InstallPathSettings::fileName;
}

juce::String panel_support::closingLine()
{
    return juce::String (juce::CharPointer_UTF8 ("\xc2\xa9 ")) + ProductDefinition::copyrightYears
         + "  " + ProductDefinition::makerName;
}

//==============================================================================
void panel_support::paint (juce::Graphics& g)
{
    const auto s = scale;

    PanelFrame::paintBackground (g);
    PanelFrame::paintCloseGlyph (g, *closeButton, s);

    paintRow (g, "DISCORD", 7.0f, *discordButton, *discordIcon, discordParagraph);
    paintRow (g, "E-MAIL", 27.0f, *mailButton, *mailIcon, mailParagraph);

    g.setColour (Palette::warmGrey);
    g.setFont (3.0f * s);
    g.drawText ("ABOUT ORVANTA PLUGIN MANAGER", juce::Rectangle<float> (10.0f * s, 57.0f * s, 80.0f * s, 10.0f * s),
                juce::Justification::centredLeft, true);
    g.drawFittedText (aboutText (settingsFolder), PanelFrame::scaledArea (s, 10.0f, 65.0f, 80.0f, 30.0f),
                      juce::Justification::topLeft, 20, 0.0f);
    g.drawSingleLineText (closingLine(), (int) (10.0f * s), (int) (88.0f * s), juce::Justification::left);
}

void panel_support::paintRow (juce::Graphics& g, const juce::String& caption, float captionY,
                              const juce::Button& button, const juce::Drawable& icon, const juce::String& paragraph)
{
    const auto s = scale;
    const auto plate = button.getBounds().toFloat();

    g.setColour (Palette::offWhite);
    g.setFont (5.0f * s);
    g.drawText (caption, juce::Rectangle<float> (10.0f * s, captionY * s, 80.0f * s, 10.0f * s),
                juce::Justification::centredLeft, true);

    if (button.isMouseButtonDown())
        g.setColour (Palette::green);
    else
        g.setColour (Palette::warmGrey.withAlpha (button.isMouseOver() ? 0.75f : 0.5f));

    g.fillRoundedRectangle (plate, s);
    icon.drawWithin (g, plate.reduced (2.0f * s), juce::RectanglePlacement::centred, 1.0f);
    PanelFrame::paintFocusRing (g, button, s, s);

    g.setColour (Palette::warmGrey);
    g.setFont (3.0f * s);
    g.drawFittedText (paragraph,
                      { juce::roundToInt (12.0f * s + plate.getX()), juce::roundToInt (plate.getY()),
                        juce::roundToInt (70.0f * s), juce::roundToInt (30.0f * s) },
                      juce::Justification::topLeft, 20, 0.0f);
}

void panel_support::resized()
{
    closeButton->setBounds (PanelFrame::closeButtonArea (scale));
    discordButton->setBounds (PanelFrame::scaledArea (scale, 10.0f, 15.0f, 10.0f, 10.0f));
    mailButton->setBounds (PanelFrame::scaledArea (scale, 10.0f, 35.0f, 10.0f, 10.0f));
}

//==============================================================================
void panel_support::buttonClicked (juce::Button* button)
{
    const auto name = button->getName();

    if (name == "X")
        PanelFrame::close (*this);
    else if (name == "DISCORD")
        juce::URL (ProductDefinition::discordInviteAddress).launchInDefaultBrowser();
    else if (name == "MAIL")
        openSupportMail();
}

void panel_support::openSupportMail() const
{
    const auto link = SupportMail::composeLink (productName, productVersion,
                                                SupportMail::SystemDescription::ofThisMachine());

    // Taken as it is: parsing would decode the escaped parameters only to escape them again.
    juce::URL::createWithoutParsing (link).launchInDefaultBrowser();
}

bool panel_support::keyPressed (const juce::KeyPress& key)
{
    return PanelFrame::handleKey (*this, *keyboard, key);
}

void panel_support::focusOfChildComponentChanged (FocusChangeType)
{
    // The ring goes when the focus leaves the panel, as when the window is no longer active.
    repaint();
}

std::unique_ptr<juce::AccessibilityHandler> panel_support::createAccessibilityHandler()
{
    return PanelFrame::accessibilityFor (*this);
}
