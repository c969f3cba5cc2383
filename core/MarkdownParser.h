#pragma once

#include <juce_core/juce_core.h>
#include <vector>

//==============================================================================
/** The small Markdown subset of the release notes: three heading levels, bullets, paragraphs
    and blank spacers per line, and bold and italic spans marked with asterisks inside a line.
    Everything else is kept as plain text.
*/
struct MarkdownParser
{
    enum BlockType : int
    {
        heading1 = 0,   // "# "
        heading2,       // "## "
        heading3,       // "### "
        paragraph,      // any other non-empty line
        bullet,         // "- " or "* "
        blank           // one or more empty lines, held as one spacer
    };

    struct Block
    {
        BlockType type;
        juce::String text;   // the line without its prefix; inline asterisks are still in it
    };

    enum class SpanStyle
    {
        regular,
        bold,
        italic
    };

    struct Span
    {
        SpanStyle style;
        juce::String text;
    };

    /** Appends one block per shown line of the text. The first non-empty line is the document's
        title and is never shown; runs of empty lines after it fold into one blank block. */
    static void appendBlocks (const juce::String& markdown, std::vector<Block>& blocks);

    /** Splits a line into styled runs: "**bold**" and "*italic*". Spans do not nest, and the
        asterisks of an unclosed or empty span stay in the text as they are. */
    static std::vector<Span> splitSpans (const juce::String& text);
};
