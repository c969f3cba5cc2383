#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <functional>

//==============================================================================
/** A button that takes the mouse but draws nothing: its parent paints what the user sees,
    green while the mouse button is held on it.

    To assistive technology it is a button titled with its caption, or a toggle whose state the
    owner keeps; pressing it there runs the same command as a click.
*/
class HiddenButton final : public juce::TextButton
{
public:
    HiddenButton (const juce::String& buttonName, juce::Button::Listener& clickListener);

    /** Makes one, shows it in the parent and tells the listener of its clicks. */
    static std::unique_ptr<juce::TextButton> addTo (juce::Component& parent, juce::Button::Listener& listener,
                                                    const juce::String& buttonName);

    void mouseUp (const juce::MouseEvent&) override;

    /** Uses no key: Space and Return go to the owner, which presses its buttons itself, at once
        and through the same command as a click. */
    bool keyPressed (const juce::KeyPress&) override;

    std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;

    /** Read afresh whenever assistive technology asks, as the screen shows them afresh. */
    struct Accessible
    {
        std::function<juce::String()> title;         // the caption, when it changes
        std::function<juce::String()> description;   // what a click does
        std::function<juce::String()> help;          // the current state in words
        std::function<bool()> isSelected;            // set for a toggle: whether it is on
    };

    /** Describes the button, found by name among the parent's children. */
    static void describe (juce::Component& parent, const juce::String& buttonName, Accessible);

    /** A change that assistive technology is told of while it watches the button. */
    enum class Change
    {
        toggleState,   // the owner's state behind the toggle changed
        title          // the caption changed
    };

    /** Tells assistive technology of the change, when it watches the window. The framework
        reports a toggle itself only when the toggle came through its own accessibility
        interface; the owner's clicks and keys change the state behind it. */
    void reportChange (Change);

    /** Called with every change as it is passed on to assistive technology, after the state
        behind it changed; for tools that follow what a screen reader is told. */
    std::function<void (Change)> onChangeReported;

private:
    juce::Button::Listener& listener;
    Accessible accessible;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (HiddenButton)
};
