#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

//==============================================================================
/** The overlay that shows the licence agreement. */
class panel_eula : public juce::Component,
                   public juce::Button::Listener
{
public:
    explicit panel_eula (juce::String agreementText);
    ~panel_eula() override;

    void buttonClicked (juce::Button*) override;

    float scale = 9.0f;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (panel_eula)
};
