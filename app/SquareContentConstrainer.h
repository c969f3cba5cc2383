#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

//==============================================================================
/** Keeps a desktop window's content square, whatever frame the system draws around it.

    The framework hands a constrainer the window's bounds with its native frame added, so a
    fixed aspect ratio of 1 squares the frame and leaves the content a title bar short. This
    one takes the frame off, constrains what is left, and puts the frame back.
*/
class SquareContentConstrainer : public juce::ComponentBoundsConstrainer
{
public:
    explicit SquareContentConstrainer (juce::Component& windowToConstrain);

    void checkBounds (juce::Rectangle<int>& bounds,
                      const juce::Rectangle<int>& previousBounds,
                      const juce::Rectangle<int>& limits,
                      bool isStretchingTop,
                      bool isStretchingLeft,
                      bool isStretchingBottom,
                      bool isStretchingRight) override;

private:
    juce::BorderSize<int> frameSize() const;

    juce::Component& window;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SquareContentConstrainer)
};
