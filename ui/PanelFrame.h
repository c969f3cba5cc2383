#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/KeyboardNavigation.h"

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

    /** The ring with its "X", at full strength only while the pointer is over the button, and
        the keyboard focus ring around it while the keyboard has brought the focus there. */
    void paintCloseGlyph (juce::Graphics&, const juce::Button& closeButton, float s);

    /** The keyboard focus ring around a control of the panel, when it has the focus. */
    void paintFocusRing (juce::Graphics&, const juce::Component& control, float cornerSize, float s);

    /** A panel to assistive technology: a dialog titled with the panel's title, over the screen. */
    std::unique_ptr<juce::AccessibilityHandler> accessibilityFor (juce::Component& panel);

    /** Names the close button for assistive technology, which would otherwise read out "X". */
    void describeCloseButton (juce::Component& panel);

    /** What every panel does with a key: Escape closes it, as its close button does, and the
        rest goes to its keyboard navigation. */
    bool handleKey (juce::Component& panel, KeyboardNavigation&, const juce::KeyPress&);

    /** Detaches the panel from the screen that shows it; its owner keeps it until the next opening. */
    void close (juce::Component& panel);
}
