#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/KeyboardNavigation.h"

//==============================================================================
/** The overlay with the two ways to get help, the community chat and a support e-mail, and
    the about text that says what the installer is and where its settings file lies. */
class panel_support : public juce::Component,
                      public juce::Button::Listener
{
public:
    panel_support();
    ~panel_support() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    void buttonClicked (juce::Button*) override;
    bool keyPressed (const juce::KeyPress&) override;
    std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;
    void focusOfChildComponentChanged (FocusChangeType) override;

    /** The about section's text, naming the settings file in the given folder. */
    static juce::String aboutText (const juce::File& settingsFolder);

    /** The line under the about text: the copyright years and the maker's name. */
    static juce::String closingLine();

    // Filled in by the opener, before it sets the bounds.
    float scale = 9.0f;
    juce::File settingsFolder;
    juce::String productName;
    juce::String productVersion;

private:
    void paintRow (juce::Graphics&, const juce::String& caption, float captionY,
                   const juce::Button&, const juce::Drawable& icon, const juce::String& paragraph);
    void openSupportMail() const;

    std::unique_ptr<juce::TextButton> closeButton;
    std::unique_ptr<juce::TextButton> mailButton;
    std::unique_ptr<juce::TextButton> discordButton;
    std::unique_ptr<juce::Drawable> discordIcon;
    std::unique_ptr<juce::Drawable> mailIcon;

    std::unique_ptr<KeyboardNavigation> keyboard;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (panel_support)
};
