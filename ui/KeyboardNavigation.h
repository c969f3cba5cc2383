#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <functional>
#include <vector>

//==============================================================================
/** Keyboard access to a screen of painted controls.

    Tab and Shift+Tab move the focus through the screen's controls in a fixed order, skipping
    those that are not showing and wrapping round at either end; Space and Return press the
    focused button as a click would. The focus ring is shown, the way browsers show focus, only
    from the first such key until the next mouse click anywhere on the screen.

    A screen laid over another (a panel over the main screen) shares the ring's state with the
    outermost screen that contains it, so that one click or key decides for the whole window.
*/
class KeyboardNavigation final : private juce::MouseListener,
                                 private juce::KeyListener,
                                 private juce::ComponentListener
{
public:
    using FocusOrder = std::function<std::vector<juce::Component*>()>;
    using Press = std::function<void (juce::Button&, const juce::ModifierKeys&)>;

    /** With takeKeysFromWindow, the keys that reach the window while nothing inside the screen has
        the focus are handled too, so that the first Tab after start reaches the first control. */
    KeyboardNavigation (juce::Component& screen, FocusOrder order, Press press, bool takeKeysFromWindow = false);
    ~KeyboardNavigation() override;

    /** Tab, Shift+Tab, Space and Return; true when the key was used. The screen's keyPressed
        hands its keys here. */
    bool handleKey (const juce::KeyPress&);

    /** Moves the focus to the next or previous control that is showing, wrapping round; from
        outside the screen to the first or the last. */
    void moveFocus (bool forwards);

    /** Called after the keyboard moved the focus, to the control that now has it. */
    std::function<void (juce::Component&)> onFocusMovedByKeyboard;

    /** When the panel leaves its parent, the opener takes the focus back. */
    void returnFocusWhenClosed (juce::Component& panel, juce::Component& opener);

    bool isFocusRingShown() const noexcept;
    void showFocusRing();

    /** Whether the control has the keyboard focus and the keyboard was used last on its screen. */
    static bool showsFocusRing (const juce::Component& control);

    /** The ring around a control's rounded rectangle: Palette::offWhite, 0.4 units thick, its line
        0.75 units outside the rectangle, with the corner grown by as much. */
    static void paintFocusRing (juce::Graphics&, juce::Rectangle<float> area, float cornerSize, float scale);

private:
    void mouseDown (const juce::MouseEvent&) override;
    bool keyPressed (const juce::KeyPress&, juce::Component*) override;
    void componentParentHierarchyChanged (juce::Component&) override;
    void componentBeingDeleted (juce::Component&) override;

    KeyboardNavigation& outermost();
    const KeyboardNavigation& outermost() const;
    void setRingShown (bool);
    void listenToWindow();
    std::vector<juce::Component*> showingControls() const;

    juce::Component& screen;
    FocusOrder order;
    Press press;
    const bool takesWindowKeys;
    bool ringShown = false;

    juce::Component::SafePointer<juce::Component> window;
    juce::Component::SafePointer<juce::Component> closingPanel;
    juce::Component::SafePointer<juce::Component> panelOpener;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KeyboardNavigation)
};
