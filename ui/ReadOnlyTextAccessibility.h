#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <functional>

//==============================================================================
/** Presents a component to assistive technology as text to be read and not edited: the licence
    agreement and the release notes. Everything is asked of the component afresh at each request,
    so that it follows scrolling and a new layout.
*/
class ReadOnlyTextAccessibility final : public juce::AccessibilityHandler
{
public:
    /** The text, and where it lies as the component lays it out, in the component's coordinates. */
    struct Source
    {
        std::function<juce::String()> text;
        std::function<juce::RectangleList<int> (juce::Range<int>)> boundsOf;   // one rectangle a line
        std::function<int (juce::Point<int>)> indexAt;                         // a caret's place at a point
    };

    ReadOnlyTextAccessibility (juce::Component&, Source);

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ReadOnlyTextAccessibility)
};
