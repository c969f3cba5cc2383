#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <functional>

//==============================================================================
/** Presents a component to assistive technology as text to be read and not edited: the licence
    agreement and the release notes. The text is read afresh at every request.
*/
class ReadOnlyTextAccessibility final : public juce::AccessibilityHandler
{
public:
    ReadOnlyTextAccessibility (juce::Component&, std::function<juce::String()> text);

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ReadOnlyTextAccessibility)
};
