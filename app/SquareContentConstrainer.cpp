#include "app/SquareContentConstrainer.h"

SquareContentConstrainer::SquareContentConstrainer (juce::Component& windowToConstrain)
    : window (windowToConstrain)
{
    setFixedAspectRatio (1.0);

    // As a resizable window's own constrainer does: never lose the title bar off screen.
    setMinimumOnscreenAmounts (0x10000, 16, 24, 16);
}

void SquareContentConstrainer::checkBounds (juce::Rectangle<int>& bounds,
                                            const juce::Rectangle<int>& previousBounds,
                                            const juce::Rectangle<int>& limits,
                                            const bool isStretchingTop,
                                            const bool isStretchingLeft,
                                            const bool isStretchingBottom,
                                            const bool isStretchingRight)
{
    const auto frame = frameSize();

    // The content's limits are the frame's less, so the whole window still fits inside them.
    auto content = frame.subtractedFrom (bounds);
    const auto contentLimits = frame.subtractedFrom (limits);

    ComponentBoundsConstrainer::checkBounds (content, frame.subtractedFrom (previousBounds), contentLimits,
                                             isStretchingTop, isStretchingLeft,
                                             isStretchingBottom, isStretchingRight);
    bounds = frame.addedTo (content);
}

juce::BorderSize<int> SquareContentConstrainer::frameSize() const
{
    if (window.getParentComponent() == nullptr)
        if (const auto* peer = window.getPeer())
            if (const auto frame = peer->getFrameSizeIfPresent())
                return *frame;

    return {};
}
