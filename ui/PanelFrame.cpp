#include "ui/PanelFrame.h"
#include "ui/Palette.h"
#include "ui/HiddenButton.h"

juce::Rectangle<int> PanelFrame::scaledArea (float s, float x, float y, float w, float h)
{
    return { juce::roundToInt (x * s), juce::roundToInt (y * s),
             juce::roundToInt (w * s), juce::roundToInt (h * s) };
}

juce::Rectangle<int> PanelFrame::contentArea (float s)
{
    return scaledArea (s, 4.0f, 12.0f, 92.0f, 80.0f);
}

juce::Rectangle<int> PanelFrame::closeButtonArea (float s)
{
    return scaledArea (s, 88.0f, 1.5f, 8.0f, 8.0f);
}

void PanelFrame::paintBackground (juce::Graphics& g)
{
    g.fillAll (Palette::nearBlack);
}

void PanelFrame::paintHeading (juce::Graphics& g, const juce::String& heading, float s)
{
    g.setColour (Palette::offWhite);
    g.setFont (4.0f * s);
    g.drawSingleLineText (heading, (int) (4.0f * s), (int) (6.0f * s), juce::Justification::left);
}

void PanelFrame::paintCloseGlyph (juce::Graphics& g, const juce::Button& closeButton, float s)
{
    const auto area = closeButton.getBounds().toFloat().reduced (2.0f * s);

    g.setColour (closeButton.isMouseOver() ? Palette::warmGrey : Palette::warmGrey.withAlpha (0.5f));
    g.drawEllipse (area, 0.25f * s);
    g.setFont (3.0f * s);
    g.drawText ("X", area, juce::Justification::centred, true);

    if (KeyboardNavigation::showsFocusRing (closeButton))
        KeyboardNavigation::paintFocusRing (g, area, area.getWidth() * 0.5f, s);
}

void PanelFrame::paintFocusRing (juce::Graphics& g, const juce::Component& control, float cornerSize, float s)
{
    if (KeyboardNavigation::showsFocusRing (control))
        KeyboardNavigation::paintFocusRing (g, control.getBounds().toFloat(), cornerSize, s);
}

bool PanelFrame::handleKey (juce::Component& panel, KeyboardNavigation& keyboard, const juce::KeyPress& key)
{
    if (key.isKeyCode (juce::KeyPress::escapeKey))
    {
        keyboard.showFocusRing();
        close (panel);
        return true;
    }

    return keyboard.handleKey (key);
}

void PanelFrame::close (juce::Component& panel)
{
    if (auto* parent = panel.getParentComponent())
        parent->removeChildComponent (&panel);
}

std::unique_ptr<juce::AccessibilityHandler> PanelFrame::accessibilityFor (juce::Component& panel)
{
    return std::make_unique<juce::AccessibilityHandler> (panel, juce::AccessibilityRole::dialogWindow);
}

void PanelFrame::describeCloseButton (juce::Component& panel)
{
    HiddenButton::describe (panel, "X", { [] { return juce::String ("CLOSE"); },
                                          [] { return juce::String ("Close this page and go back"); }, {}, {} });
}
