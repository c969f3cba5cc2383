#include "ui/CustomLookAndFeel.h"
#include "ui/Palette.h"

#include <BinaryData.h>

CustomLookAndFeel::CustomLookAndFeel()
{
    regularTypeface  = juce::Typeface::createSystemTypefaceFor (BinaryData::DosisBook_otf,
                                                                (size_t) BinaryData::DosisBook_otfSize);
    semiboldTypeface = juce::Typeface::createSystemTypefaceFor (BinaryData::DosisSemiBold_otf,
                                                                (size_t) BinaryData::DosisSemiBold_otfSize);

    setColour (juce::PopupMenu::backgroundColourId,             Palette::nearBlack);
    setColour (juce::PopupMenu::highlightedBackgroundColourId,  Palette::green.withAlpha ((juce::uint8) 128));
    setColour (juce::PopupMenu::textColourId,                   Palette::offWhite);
    setColour (juce::PopupMenu::highlightedTextColourId,        Palette::offWhite);
    setColour (juce::AlertWindow::backgroundColourId,           Palette::nearBlack);
    setColour (juce::AlertWindow::textColourId,                 Palette::warmGrey);
    setColour (juce::PropertyComponent::labelTextColourId,      Palette::green.withAlpha ((juce::uint8) 128));
    setColour (juce::ResizableWindow::backgroundColourId,       Palette::green);
    setColour (juce::ScrollBar::thumbColourId,                  Palette::warmGrey);
    setColour (juce::ResizableWindow::backgroundColourId,       Palette::nearBlack);
    setColour (juce::TextEditor::backgroundColourId,            Palette::nearBlack);
    setColour (juce::ListBox::backgroundColourId,               Palette::nearBlack);
    setColour (juce::TextButton::buttonColourId,                Palette::nearBlack);
    setColour (juce::Label::textColourId,                       Palette::offWhite);
}

// The regular face goes first, the reverse of what member destruction alone would do.
CustomLookAndFeel::~CustomLookAndFeel()
{
    regularTypeface = nullptr;
    semiboldTypeface = nullptr;
}

// Every font, whatever family or style it asks for, is drawn in the embedded regular face.
juce::Typeface::Ptr CustomLookAndFeel::getTypefaceForFont (const juce::Font&)
{
    return regularTypeface;
}

// Menus keep one legible size whatever the screen's scale.
juce::Font CustomLookAndFeel::getPopupMenuFont()
{
    juce::Font font { juce::FontOptions {} };
    font.setSizeAndStyle (30.0f, juce::Font::plain, 1.0f, 0.1f);
    return font;
}

// A plain charcoal pill: no arrow, no outline, the same when pressed.
void CustomLookAndFeel::drawComboBox (juce::Graphics& g, int width, int height, bool,
                                      int, int, int, int, juce::ComboBox&)
{
    g.setColour (Palette::charcoal);
    g.fillRoundedRectangle (0.0f, 0.0f, (float) width, (float) height, (float) height * 0.5f);
}

// The text scales with the box, since the pill has no fixed size.
juce::Font CustomLookAndFeel::getComboBoxFont (juce::ComboBox& box)
{
    return juce::Font { juce::FontOptions { (float) box.getHeight() * 0.7f } };
}

// With no arrow to make room for, the text is centred across the whole pill.
void CustomLookAndFeel::positionComboBoxText (juce::ComboBox& box, juce::Label& label)
{
    label.setBounds (1, 1, box.getWidth(), box.getHeight() - 2);
    label.setFont (getComboBoxFont (box));
    label.setJustificationType (juce::Justification::centred);
    label.setText (label.getText(), juce::dontSendNotification);
}
