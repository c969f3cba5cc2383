#include "ui/MainScreenLayout.h"

void MainScreenLayout::layOut (float s, const ExtrasButtons& extrasButtons, const FormatButtons& formatButtons,
                               juce::TextButton& installButton, juce::TextButton& selectAllButton,
                               juce::Label& hintLabel, const juce::Typeface::Ptr& typeface)
{
    const auto place = [s] (juce::Component& child, float x, float y, float w, float h)
    {
        child.setBounds (juce::roundToInt (x * s), juce::roundToInt (y * s),
                         juce::roundToInt (w * s), juce::roundToInt (h * s));
    };

    // Each extras x is a sum of scaled terms, 4s then 11.5s per button, rounded on its own:
    // adding the units first and scaling the sum lands a pixel off at some widths.
    auto extrasX = 4.0f * s;

    for (auto& button : extrasButtons)
    {
        button->setBounds (juce::roundToInt (extrasX), juce::roundToInt (73.5f * s),
                           juce::roundToInt (10.0f * s), juce::roundToInt (10.0f * s));
        extrasX += 11.5f * s;
    }

    place (installButton,     86.0f, 73.5f, 10.0f, 10.0f);
    place (selectAllButton,   77.0f, 22.0f, 19.0f,  5.0f);
    place (*formatButtons[0],  4.0f, 30.0f, 45.0f, 10.0f);
    place (*formatButtons[1], 51.0f, 30.0f, 45.0f, 10.0f);
    place (*formatButtons[2],  4.0f, 42.0f, 45.0f, 10.0f);

    hintLabel.setFont (juce::Font (juce::FontOptions (typeface).withHeight (3.0f * s)));
    place (hintLabel, 4.0f, 90.0f, 92.0f, 3.0f);
}

std::vector<juce::Component*> MainScreenLayout::readingOrder (const ExtrasButtons& extras, const FormatButtons& formats,
                                                              juce::TextButton& installButton, juce::TextButton& selectAllButton)
{
    std::vector<juce::Component*> order { &selectAllButton };

    for (const auto& button : formats)  order.push_back (button.get());
    for (const auto& button : extras)   order.push_back (button.get());

    order.push_back (&installButton);
    return order;
}
