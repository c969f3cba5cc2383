#pragma once

#include <juce_graphics/juce_graphics.h>

//==============================================================================
/** The eleven opaque colours that every piece of the installer's own drawing is taken from,
    at full alpha or with a fixed reduced alpha. */
namespace Palette
{
    /** Parses a six-digit hex text as an opaque colour. */
    juce::Colour fromHexText (const char* sixDigitHex);

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
