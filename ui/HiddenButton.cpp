#include "ui/HiddenButton.h"

HiddenButton::HiddenButton (const juce::String& buttonName)
{
    setName (buttonName);
    setAlpha (0.0f);
}

std::unique_ptr<juce::TextButton> HiddenButton::addTo (juce::Component& parent, juce::Button::Listener& listener,
                                                      const juce::String& buttonName)
{
    auto button = std::make_unique<HiddenButton> (buttonName);
    parent.addAndMakeVisible (*button);
    button->addListener (&listener);
    return button;
}

void HiddenButton::mouseUp (const juce::MouseEvent& e)
{
    juce::TextButton::mouseUp (e);

    // A press dragged off the button ends without a change of state, so nothing else would
    // take its green away.
    repaint();
}

bool HiddenButton::keyPressed (const juce::KeyPress&)
{
    return false;
}
