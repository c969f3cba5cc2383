#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

//==============================================================================
/** The overlay that shows the release notes. */
class panel_changelog : public juce::Component,
                        public juce::Button::Listener
{
public:
    panel_changelog (juce::String releaseNotes, juce::String productName);
    ~panel_changelog() override;

    void buttonClicked (juce::Button*) override;

    float scale = 9.0f;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (panel_changelog)
};
