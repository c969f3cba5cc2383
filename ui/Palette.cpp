#include "ui/Palette.h"

namespace Palette
{
    juce::Colour fromHexText (const char* sixDigitHex)
    {
        return juce::Colour::fromString ("FF" + juce::String (sixDigitHex));
    }

    juce::Colour blendedOver (juce::Colour background, juce::Colour colour, float alpha)
    {
        const auto a = (int) colour.withAlpha (alpha).getAlpha();

        // At full alpha the renderer copies the colour; it premultiplies only what shows through.
        if (a == 255)
            return colour.withAlpha ((juce::uint8) 255);
        const auto channel = [a] (juce::uint8 top, juce::uint8 bottom)
        {
            return (juce::uint8) (((top * a + 0x7f) >> 8) + ((bottom * (256 - a)) >> 8));
        };

        return juce::Colour (channel (colour.getRed(),   background.getRed()),
                             channel (colour.getGreen(), background.getGreen()),
                             channel (colour.getBlue(),  background.getBlue()));
    }

    const juce::Colour nearBlack = fromHexText ("111111");
    const juce::Colour charcoal  = fromHexText ("171717");
    const juce::Colour offWhite  = fromHexText ("F5F5F5");
    const juce::Colour warmGrey  = fromHexText ("AAA6A6");
    const juce::Colour green     = fromHexText ("86cf7a");
    const juce::Colour blue      = fromHexText ("0094d8");
    const juce::Colour yellow    = fromHexText ("D3C55F");
    const juce::Colour orange    = fromHexText ("E08A2A");
    const juce::Colour slate     = fromHexText ("393E44");
    const juce::Colour deepBlack = fromHexText ("101316");
    const juce::Colour gunmetal  = fromHexText ("21272C");
}
