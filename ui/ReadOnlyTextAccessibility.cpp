#include "ui/ReadOnlyTextAccessibility.h"

namespace
{
    class ReadOnlyText final : public juce::AccessibilityTextInterface
    {
    public:
        ReadOnlyText (juce::Component& owner, ReadOnlyTextAccessibility::Source textSource)
            : component (owner), source (std::move (textSource))
        {
        }

        bool isDisplayingProtectedText() const override      { return false; }
        bool isReadOnly() const override                     { return true; }
        int getTotalNumCharacters() const override           { return source.text().length(); }
        juce::Range<int> getSelection() const override       { return {}; }
        void setSelection (juce::Range<int>) override        {}
        int getTextInsertionOffset() const override          { return 0; }
        void setText (const juce::String&) override          {}

        juce::String getText (juce::Range<int> range) const override
        {
            return source.text().substring (range.getStart(), range.getEnd());
        }

        // Assistive technology speaks in screen coordinates.
        juce::RectangleList<int> getTextBounds (juce::Range<int> range) const override
        {
            juce::RectangleList<int> onScreen;

            for (const auto& r : source.boundsOf (range))
                onScreen.addWithoutMerging (component.localAreaToGlobal (r));

            return onScreen;
        }

        int getOffsetAtPoint (juce::Point<int> point) const override
        {
            return juce::jlimit (0, getTotalNumCharacters(), source.indexAt (component.getLocalPoint (nullptr, point)));
        }

    private:
        juce::Component& component;
        ReadOnlyTextAccessibility::Source source;
    };
}

ReadOnlyTextAccessibility::ReadOnlyTextAccessibility (juce::Component& shown, Source source)
    : juce::AccessibilityHandler (shown, juce::AccessibilityRole::staticText, {},
                                  { std::unique_ptr<juce::AccessibilityTextInterface> (std::make_unique<ReadOnlyText> (shown, std::move (source))) })
{
}
