#include "TestSupport.h"
#include "ui/CustomLookAndFeel.h"
#include "ui/Palette.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
    juce::Colour pixel (const juce::Image& image, int x, int y)
    {
        return image.getPixelAt (x, y);
    }
}

TEST (LookAndFeel, EmbedsTheRoundedFamilyInBothWeights)
{
    CustomLookAndFeel lookAndFeel;

    ASSERT_NE (lookAndFeel.regularTypeface, nullptr);
    ASSERT_NE (lookAndFeel.semiboldTypeface, nullptr);
    EXPECT_EQ (lookAndFeel.regularTypeface->getName(), "Dosis");
    EXPECT_NE (lookAndFeel.regularTypeface->getStyle(), lookAndFeel.semiboldTypeface->getStyle());
}

TEST (LookAndFeel, EveryFontResolvesToTheRegularFace)
{
    CustomLookAndFeel lookAndFeel;

    const juce::Font requests[] {
        juce::Font (juce::FontOptions {}),
        juce::Font (juce::FontOptions ("DejaVu Sans", 20.0f, juce::Font::bold)),
        juce::Font (juce::FontOptions ("Liberation Serif", 12.0f, juce::Font::italic)),
        juce::Font (juce::FontOptions (juce::Font::getDefaultMonospacedFontName(), 14.0f, juce::Font::plain))
    };

    for (const auto& font : requests)
        EXPECT_EQ (lookAndFeel.getTypefaceForFont (font).get(), lookAndFeel.regularTypeface.get());
}

TEST (LookAndFeel, SetsThePaletteOnTheFrameworksColourIds)
{
    CustomLookAndFeel lookAndFeel;
    const juce::Colour halfGreen (0x8086CF7A);

    EXPECT_EQ (lookAndFeel.findColour (juce::PopupMenu::backgroundColourId), Palette::nearBlack);
    EXPECT_EQ (lookAndFeel.findColour (juce::PopupMenu::highlightedBackgroundColourId), halfGreen);
    EXPECT_EQ (lookAndFeel.findColour (juce::PopupMenu::textColourId), Palette::offWhite);
    EXPECT_EQ (lookAndFeel.findColour (juce::PopupMenu::highlightedTextColourId), Palette::offWhite);
    EXPECT_EQ (lookAndFeel.findColour (juce::AlertWindow::backgroundColourId), Palette::nearBlack);
    EXPECT_EQ (lookAndFeel.findColour (juce::AlertWindow::textColourId), Palette::warmGrey);
    EXPECT_EQ (lookAndFeel.findColour (juce::PropertyComponent::labelTextColourId), halfGreen);
    EXPECT_EQ (lookAndFeel.findColour (juce::ResizableWindow::backgroundColourId), Palette::nearBlack);
    EXPECT_EQ (lookAndFeel.findColour (juce::ScrollBar::thumbColourId), Palette::warmGrey);
    EXPECT_EQ (lookAndFeel.findColour (juce::TextEditor::backgroundColourId), Palette::nearBlack);
    EXPECT_EQ (lookAndFeel.findColour (juce::ListBox::backgroundColourId), Palette::nearBlack);
    EXPECT_EQ (lookAndFeel.findColour (juce::TextButton::buttonColourId), Palette::nearBlack);
    EXPECT_EQ (lookAndFeel.findColour (juce::Label::textColourId), Palette::offWhite);

    // Ids it leaves alone keep the framework's own scheme.
    juce::LookAndFeel_V4 stock;
    EXPECT_EQ (lookAndFeel.findColour (juce::Slider::thumbColourId), stock.findColour (juce::Slider::thumbColourId));
}

TEST (LookAndFeel, PopupMenusUseOneFixedSize)
{
    CustomLookAndFeel lookAndFeel;
    const auto font = lookAndFeel.getPopupMenuFont();

    EXPECT_FLOAT_EQ (font.getHeight(), 30.0f);
    EXPECT_FALSE (font.isBold() || font.isItalic());
    EXPECT_FLOAT_EQ (font.getHorizontalScale(), 1.0f);
    EXPECT_FLOAT_EQ (font.getExtraKerningFactor(), 0.1f);
}

TEST (LookAndFeel, ComboBoxIsACharcoalPillWithCentredText)
{
    CustomLookAndFeel lookAndFeel;
    juce::ComboBox box;
    box.setLookAndFeel (&lookAndFeel);
    box.setSize (200, 40);
    box.addItem ("Item", 1);
    box.setSelectedId (1, juce::dontSendNotification);

    for (const auto pressed : { false, true })
    {
        juce::Image image (juce::Image::ARGB, 200, 40, true);
        juce::Graphics g (image);
        lookAndFeel.drawComboBox (g, 200, 40, pressed, 170, 0, 30, 40, box);

        EXPECT_EQ (pixel (image, 100, 20), Palette::charcoal) << "middle, pressed " << pressed;
        EXPECT_EQ (pixel (image, 190, 20), Palette::charcoal) << "where an arrow would be";
        EXPECT_EQ (pixel (image, 1, 1).getAlpha(), 0) << "rounded corner";
        EXPECT_EQ (pixel (image, 198, 38).getAlpha(), 0) << "rounded corner";
    }

    juce::Label label;
    label.setText ("Text", juce::dontSendNotification);
    lookAndFeel.positionComboBoxText (box, label);

    EXPECT_EQ (label.getBounds(), juce::Rectangle<int> (1, 1, 200, 38));
    EXPECT_EQ (label.getJustificationType(), juce::Justification::centred);
    EXPECT_FLOAT_EQ (label.getFont().getHeight(), 28.0f);
    EXPECT_EQ (label.getText(), "Text");

    box.setLookAndFeel (nullptr);
}
