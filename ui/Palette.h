#pragma once

#include <juce_graphics/juce_graphics.h>

//==============================================================================
/** The eleven opaque colours that every piece of the installer's own drawing is taken from,
    at full alpha or with a fixed reduced alpha. */
namespace Palette
{
    /** Parses a six-digit hex text as an opaque colour. */
    juce::Colour fromHexText (const char* sixDigitHex);

    /** The opaque colour that the software renderer leaves where it blends the colour, at the
        alpha, over an opaque background: the colour premultiplied by its alpha byte, rounded,
        plus the background's share, truncated. Filling with it gives the blended pixels at the
        price of an opaque fill, which the renderer copies instead of blending. */
    juce::Colour blendedOver (juce::Colour background, juce::Colour colour, float alpha);

    extern const juce::Colour nearBlack;
    extern const juce::Colour charcoal;
    extern const juce::Colour offWhite;
    extern const juce::Colour warmGrey;
    extern const juce::Colour green;
    extern const juce::Colour blue;
    extern const juce::Colour yellow;
    extern const juce::Colour orange;
    extern const juce::Colour slate;
    extern const juce::Colour deepBlack;
    extern const juce::Colour gunmetal;
}
