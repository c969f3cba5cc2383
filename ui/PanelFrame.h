#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

//==============================================================================
/** What the three information panels share: an opaque background, a heading at the top
    left, and a circular close glyph drawn over an invisible close button at the top right.
    Every measure is a multiple of the panel's scale, s.
*/
namespace PanelFrame
{
    /** A rectangle given in units of s, each value rounded to the nearest pixel. */
    juce::Rectangle<int> scaledArea (float s, float x, float y, float w, float h);

    /** The area below the heading that the licence text and the release notes fill. */
    juce::Rectangle<int> contentArea (float s);

    juce::Rectangle<int> closeButtonArea (float s);

    void paintBackground (juce::Graphics&);
    void paintHeading (juce::Graphics&, const juce::String& heading, float s);

    /** The ring with its "X", at full strength only while the pointer is over the button. */
    void paintCloseGlyph (juce::Graphics&, const juce::Button& closeButton, float s);

    /** Detaches the panel from the screen that shows it; its owner keeps it until the next opening. */
    void close (juce::Component& panel);
}
