#include "ui/ReadOnlyTextAccessibility.h"

namespace
{
    class ReadOnlyText final : public juce::AccessibilityTextInterface
    {
    public:
        ReadOnlyText (juce::Component& owner, std::function<juce::String()> textSource)
            : component (owner), text (std::move (textSource))
        {
        }

        bool isDisplayingProtectedText() const override      { return false; }
        bool isReadOnly() const override                     { return true; }
        int getTotalNumCharacters() const override           { return text().length(); }
        juce::Range<int> getSelection() const override       { return {}; }
        void setSelection (juce::Range<int>) override        {}
        int getTextInsertionOffset() const override          { return 0; }
        void setText (const juce::String&) override          {}
        int getOffsetAtPoint (juce::Point<int>) const override { return 0; }

        juce::String getText (juce::Range<int> range) const override
        {
            return text().substring (range.getStart(), range.getEnd());
        }

        // Where a run of characters lies is not tracked: the whole text's box stands for it.
        juce::RectangleList<int> getTextBounds (juce::Range<int>) const override
        {
            return juce::RectangleList<int> (component.getScreenBounds());
        }

    private:
        juce::Component& component;
        std::function<juce::String()> text;
    };
}

ReadOnlyTextAccessibility::ReadOnlyTextAccessibility (juce::Component& shown, std::function<juce::String()> text)
    : juce::AccessibilityHandler (shown, juce::AccessibilityRole::staticText, {},
                                  { std::unique_ptr<juce::AccessibilityTextInterface> (std::make_unique<ReadOnlyText> (shown, std::move (text))) })
{
}
