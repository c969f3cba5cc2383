#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

//==============================================================================
/** The overlay with the support links and the about text. */
class panel_support : public juce::Component,
                      public juce::Button::Listener
{
public:
    panel_support (juce::File settingsFolder, juce::String productName, juce::String productVersion);
    ~panel_support() override;

    void buttonClicked (juce::Button*) override;

    float scale = 9.0f;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (panel_support)
};
