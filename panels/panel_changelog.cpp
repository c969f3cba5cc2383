#include "panels/panel_changelog.h"
#include "ui/HiddenButton.h"
#include "ui/PanelFrame.h"
#include "ui/Palette.h"
#include "ui/ReadOnlyTextAccessibility.h"
#include "ui/TextLayoutGeometry.h"

namespace
{
    struct BlockStyle
    {
        juce::Font regular, bold, italic;
        juce::Colour colour;
        float spaceBefore, spaceAfter, indent;
    };

    juce::Font fontOf (float height, int styleFlags)
    {
        return juce::Font (juce::FontOptions (height, styleFlags));
    }

    BlockStyle headingStyle (float height, float before, float after)
    {
        return { fontOf (height, juce::Font::bold), fontOf (height, juce::Font::bold),
                 fontOf (height, juce::Font::bold | juce::Font::italic),
                 Palette::offWhite, before, after, 0.0f };
    }

    BlockStyle bodyStyle (float s, float indent)
    {
        return { fontOf (3.0f * s, juce::Font::plain), fontOf (3.0f * s, juce::Font::bold),
                 fontOf (3.0f * s, juce::Font::italic),
                 Palette::warmGrey, 0.0f, 0.3f * s, indent };
    }

    BlockStyle styleFor (panel_changelog::BlockType type, float s)
    {
        switch (type)
        {
            case MarkdownParser::heading1:  return headingStyle (5.0f * s, 1.5f * s, 0.6f * s);
            case MarkdownParser::heading2:  return headingStyle (4.0f * s, 1.0f * s, 0.5f * s);
            case MarkdownParser::heading3:  return headingStyle (3.5f * s, 0.8f * s, 0.4f * s);
            case MarkdownParser::bullet:    return bodyStyle (s, 4.0f * s);
            case MarkdownParser::paragraph:
            case MarkdownParser::blank:
            default:                        return bodyStyle (s, 0.0f);
        }
    }
}

//==============================================================================
panel_changelog::ChangelogContent::ChangelogContent (const std::vector<Block>& blocksToShow)
    : blocks (&blocksToShow)
{
}

panel_changelog::ChangelogContent::~ChangelogContent() = default;

// The notes as they read on screen, one block a line, with the Markdown marks gone.
juce::String panel_changelog::ChangelogContent::getReadableText() const
{
    juce::StringArray lines;

    for (const auto& block : rendered)
        lines.add (block.text.getText());

    return lines.joinIntoString ("\n");
}

// Each block starts in the readable text where the one before ends, after its line break.
juce::RectangleList<int> panel_changelog::ChangelogContent::getTextBounds (juce::Range<int> readableRange) const
{
    juce::RectangleList<int> bounds;
    auto start = 0;

    for (const auto& block : rendered)
    {
        const auto& text = block.text.getText();
        const auto length = text.length();

        if (const auto inBlock = readableRange.getIntersectionWith ({ start, start + length }); ! inBlock.isEmpty())
            for (const auto& r : TextLayoutGeometry::boundsOf (block.layout, text, inBlock - start))
                bounds.addWithoutMerging (r.translated (block.indent, block.y).getSmallestIntegerContainer());

        start += length + 1;
    }

    return bounds;
}

int panel_changelog::ChangelogContent::getTextIndexAt (juce::Point<int> point) const
{
    // The last block with text that starts above the point, or the first below it.
    const RenderedBlock* chosen = nullptr;
    auto start = 0, chosenStart = 0;

    for (const auto& block : rendered)
    {
        if (block.layout.getNumLines() > 0 && (chosen == nullptr || block.y <= (float) point.y))
        {
            chosen = &block;
            chosenStart = start;
        }

        start += block.text.getText().length() + 1;
    }

    if (chosen == nullptr)
        return 0;

    return chosenStart + TextLayoutGeometry::indexAt (chosen->layout, chosen->text.getText(),
                                                      point.toFloat() - juce::Point<float> (chosen->indent, chosen->y));
}

std::unique_ptr<juce::AccessibilityHandler> panel_changelog::ChangelogContent::createAccessibilityHandler()
{
    return std::make_unique<ReadOnlyTextAccessibility> (*this, ReadOnlyTextAccessibility::Source {
        [this] { return getReadableText(); },
        [this] (juce::Range<int> range) { return getTextBounds (range); },
        [this] (juce::Point<int> point) { return getTextIndexAt (point); } });
}

void panel_changelog::ChangelogContent::layoutBlocks (int newWidth, float newScale)
{
    width = newWidth;
    scale = newScale;
    rendered.clear();

    const auto s = scale;
    auto y = s;

    for (const auto& block : *blocks)
    {
        if (block.type == MarkdownParser::blank)
        {
            rendered.push_back ({ block.type, {}, y, 1.5f * s, 0.0f, {} });
            y += 1.5f * s;
            continue;
        }

        const auto style = styleFor (block.type, s);

        juce::AttributedString text;
        text.setJustification (juce::Justification::topLeft);
        text.setWordWrap (juce::AttributedString::byWord);
        text.setLineSpacing (0.0f);
        appendMarkdownSpans (text, block.text, style.regular, style.bold, style.italic, style.colour);

        juce::TextLayout layout;
        layout.createLayout (text, juce::jmax (0.0f, (float) width - style.indent - s));
        const auto height = layout.getHeight();

        rendered.push_back ({ block.type, std::move (text), y + style.spaceBefore, height, style.indent, std::move (layout) });
        y += style.spaceBefore + height + style.spaceAfter;
    }

    setBounds (getX(), getY(), width, juce::roundToInt (y + s));
}

void panel_changelog::ChangelogContent::paint (juce::Graphics& g)
{
    const auto s = scale;
    const auto clip = g.getClipBounds().toFloat();

    for (const auto& block : rendered)
    {
        if (block.type == MarkdownParser::blank)
            continue;

        const juce::Rectangle<float> area (block.indent, block.y, (float) width - block.indent - s, block.height + s);

        // Only what is in view: the notes are far taller than the viewport.
        if (! area.withLeft (0.0f).intersects (clip))
            continue;

        if (block.type == MarkdownParser::bullet)
        {
            g.setColour (Palette::warmGrey);
            g.setFont (juce::Font (juce::FontOptions (3.0f * s, juce::Font::bold)));
            g.drawText (juce::String::charToString ((juce::juce_wchar) 0x2022),
                        juce::Rectangle<int> (juce::roundToInt (0.5f * s), juce::roundToInt (block.y),
                                              juce::roundToInt (3.0f * s), juce::roundToInt (3.5f * s)).toFloat(),
                        juce::Justification::topLeft, false);
        }

        block.text.draw (g, area);
    }
}

//==============================================================================
panel_changelog::panel_changelog (const juce::String& markdown, const juce::String& name)
    : productName (name)
{
    parseMarkdown (markdown);
    content = std::make_unique<ChangelogContent> (blocks);

    viewport = std::make_unique<juce::Viewport>();
    addAndMakeVisible (*viewport);
    viewport->setViewedComponent (content.get(), false);
    viewport->setScrollBarsShown (true, false, false, false);

    closeButton = HiddenButton::addTo (*this, *this, "X");


    setTitle ("CHANGELOG - " + productName.toUpperCase());
    PanelFrame::describeCloseButton (*this);

    // The panel takes the focus when it opens and keeps it: Tab cycles through its own controls.
    setWantsKeyboardFocus (true);
    setFocusContainerType (FocusContainerType::keyboardFocusContainer);
    keyboard = std::make_unique<KeyboardNavigation> (*this, [this] { return std::vector<juce::Component*> { closeButton.get(), viewport.get() }; },
                                                     [this] (juce::Button& button, const juce::ModifierKeys&) { buttonClicked (&button); });
}

panel_changelog::~panel_changelog() = default;

void panel_changelog::parseMarkdown (const juce::String& markdown)
{
    MarkdownParser::appendBlocks (markdown, blocks);
}

void panel_changelog::paint (juce::Graphics& g)
{
    PanelFrame::paintBackground (g);
    PanelFrame::paintHeading (g, "CHANGELOG - " + productName.toUpperCase(), scale);
    PanelFrame::paintCloseGlyph (g, *closeButton, scale);
    PanelFrame::paintFocusRing (g, *viewport, 0.0f, scale);
}

void panel_changelog::resized()
{
    viewport->setBounds (PanelFrame::contentArea (scale));

    // Laid out at the full width first; if that needs the scroll bar, again at the width beside
    // it, so that no text lies hidden under the bar.
    const auto fullWidth = viewport->getWidth();
    content->layoutBlocks (fullWidth, scale);

    if (content->getHeight() > viewport->getHeight())
        content->layoutBlocks (fullWidth - viewport->getScrollBarThickness(), scale);

    closeButton->setBounds (PanelFrame::closeButtonArea (scale));
}

// The close button is the panel's only button.
void panel_changelog::buttonClicked (juce::Button*)
{
    PanelFrame::close (*this);
}

bool panel_changelog::keyPressed (const juce::KeyPress& key)
{
    return PanelFrame::handleKey (*this, *keyboard, key);
}

void panel_changelog::focusOfChildComponentChanged (FocusChangeType)
{
    // The ring goes when the focus leaves the panel, as when the window is no longer active.
    repaint();
}

std::unique_ptr<juce::AccessibilityHandler> panel_changelog::createAccessibilityHandler()
{
    return PanelFrame::accessibilityFor (*this);
}
