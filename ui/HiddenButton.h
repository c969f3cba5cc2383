#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

//==============================================================================
/** A button that takes the mouse but draws nothing: its parent paints what the user sees,
    green while the mouse button is held on it.
*/
class HiddenButton final : public juce::TextButton
{
public:
    explicit HiddenButton (const juce::String& buttonName);

    /** Makes one, shows it in the parent and tells the listener of its clicks. */
    static std::unique_ptr<juce::TextButton> addTo (juce::Component& parent, juce::Button::Listener& listener,
                                                    const juce::String& buttonName);

    void mouseUp (const juce::MouseEvent&) override;

    /** Uses no key: Space and Return go to the owner, which presses its buttons itself, at once
        and through the same command as a click. */
    bool keyPressed (const juce::KeyPress&) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (HiddenButton)
};
