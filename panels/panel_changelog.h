#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "ui/KeyboardNavigation.h"
#include <vector>

#include "core/MarkdownParser.h"
#include "ui/MarkdownSpans.h"

//==============================================================================
/** The overlay that shows the release notes: the embedded Markdown parsed once into blocks,
    laid out as styled text in a vertically scrolling view whenever the panel is laid out. */
class panel_changelog : public juce::Component,
                        public juce::Button::Listener
{
public:
    using BlockType = MarkdownParser::BlockType;
    using Block = MarkdownParser::Block;

    //==============================================================================
    /** The laid-out blocks, as the viewport shows them. */
    class ChangelogContent : public juce::Component
    {
    public:
        struct RenderedBlock
        {
            BlockType type;
            juce::AttributedString text;   // empty for a blank block
            float y;                       // top of the text
            float height;                  // of the laid-out text
            float indent;                  // left offset of the text
            juce::TextLayout layout;       // as painted, relative to (indent, y)
        };

        explicit ChangelogContent (const std::vector<Block>& blocksToShow);
        ~ChangelogContent() override;

        void paint (juce::Graphics&) override;

        /** Lays every block out for the width, and takes the height they need. */
        void layoutBlocks (int newWidth, float newScale);

        const std::vector<RenderedBlock>& getRenderedBlocks() const noexcept   { return rendered; }

        /** The notes as text to be read, for assistive technology: one block a line. */
        juce::String getReadableText() const;

        /** Where a range of the readable text lies, one rectangle a line, in this component's
            coordinates. */
        juce::RectangleList<int> getTextBounds (juce::Range<int> readableRange) const;

        /** Where in the readable text a caret put at the point would stand. */
        int getTextIndexAt (juce::Point<int>) const;

        std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;

    private:
        const std::vector<Block>* blocks;
        std::vector<RenderedBlock> rendered;
        int width = 0;
        float scale = 9.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ChangelogContent)
    };

    //==============================================================================
    panel_changelog (const juce::String& markdown, const juce::String& productName);
    ~panel_changelog() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    void buttonClicked (juce::Button*) override;
    bool keyPressed (const juce::KeyPress&) override;
    std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override;
    void focusOfChildComponentChanged (FocusChangeType) override;

    /** Appends the text's blocks to the panel's. */
    void parseMarkdown (const juce::String& markdown);

    const std::vector<Block>& getBlocks() const noexcept     { return blocks; }
    const ChangelogContent& getContent() const noexcept      { return *content; }
    const juce::Viewport& getViewport() const noexcept       { return *viewport; }

    /** The layout unit in pixels; the opener copies its own in before setting the bounds. */
    float scale = 9.0f;

private:
    juce::String productName;
    std::vector<Block> blocks;
    std::unique_ptr<ChangelogContent> content;
    std::unique_ptr<juce::Viewport> viewport;
    std::unique_ptr<juce::TextButton> closeButton;

    std::unique_ptr<KeyboardNavigation> keyboard;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (panel_changelog)
};
