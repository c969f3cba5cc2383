#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/KeyboardNavigation.h"

//==============================================================================
/** The overlay that shows the licence agreement in a scrollable text box. The text lives only
    in the box: edits are lost with the panel, and every opening builds a fresh one. */
class panel_eula : public juce::Component,
                   public juce::Button::Listener
{
public:
    explicit panel_eula (juce::String agreementText);
    ~panel_eula() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    void buttonClicked (juce::Button*) override;
    bool keyPressed (const juce::KeyPress&) override;
    std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;
    void focusOfChildComponentChanged (FocusChangeType) override;

    /** The layout unit in pixels; the opener copies its own in before setting the bounds. */
    float scale = 9.0f;

private:
    std::unique_ptr<juce::TextEditor> textEditor;
    std::unique_ptr<juce::TextButton> closeButton;

    std::unique_ptr<KeyboardNavigation> keyboard;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (panel_eula)
};
