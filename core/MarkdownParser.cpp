#include "core/MarkdownParser.h"

#include <cwctype>

namespace
{
    juce::String trimmedLine (const juce::String& line)
    {
        auto end = line.getCharPointer().findTerminatingNull();
        const auto start = line.getCharPointer();

        // The C library's notion of white space, which takes vertical tabs and form feeds too.
        while (end != start)
        {
            auto previous = end;
            --previous;

            if (! std::iswspace ((wint_t) *previous))
                break;

            end = previous;
        }

        return juce::String (start, end).trimStart();
    }

    struct LinePrefix
    {
        const char* text;
        MarkdownParser::BlockType type;
    };

    // Longest heading marker first, since "## x" also starts with "# ".
    constexpr LinePrefix linePrefixes[] = {
        { "### ", MarkdownParser::heading3 },
        { "## ",  MarkdownParser::heading2 },
        { "# ",   MarkdownParser::heading1 },
        { "- ",   MarkdownParser::bullet },
        { "* ",   MarkdownParser::bullet }
    };

    MarkdownParser::Block blockForLine (const juce::String& line)
    {
        for (const auto& prefix : linePrefixes)
            if (line.startsWith (prefix.text))
                return { prefix.type, line.substring ((int) std::strlen (prefix.text)) };

        return { MarkdownParser::paragraph, line };
    }

    /** True if `length` asterisks follow each other from index k on. */
    bool asterisksAt (const std::vector<juce::juce_wchar>& text, int k, int length)
    {
        if (k + length > (int) text.size())
            return false;

        for (int run = 0; run < length; ++run)
            if (text[(size_t) (k + run)] != '*')
                return false;

        return true;
    }

    /** The first index at or after `from` where `length` asterisks follow each other, or -1. */
    int findAsterisks (const std::vector<juce::juce_wchar>& text, int from, int length)
    {
        for (int k = from; k + length <= (int) text.size(); ++k)
            if (asterisksAt (text, k, length))
                return k;

        return -1;
    }

    struct SpanMarker
    {
        int length;
        MarkdownParser::SpanStyle style;
    };

    // The longer marker first, since "**" also starts with "*".
    constexpr SpanMarker spanMarkers[] = {
        { 2, MarkdownParser::SpanStyle::bold },
        { 1, MarkdownParser::SpanStyle::italic }
    };

    juce::String codePoints (const std::vector<juce::juce_wchar>& text, int start, int end)
    {
        return { juce::CharPointer_UTF32 (text.data() + start), (size_t) (end - start) };
    }
}

//==============================================================================
void MarkdownParser::appendBlocks (const juce::String& markdown, std::vector<Block>& blocks)
{
    juce::StringArray lines;
    lines.addLines (markdown);

    bool titleSeen = false;

    for (const auto& rawLine : lines)
    {
        const auto line = trimmedLine (rawLine);

        if (line.isEmpty())
        {
            if (titleSeen && ! blocks.empty() && blocks.back().type != blank)
                blocks.push_back ({ blank, {} });

            continue;
        }

        if (! titleSeen)
        {
            titleSeen = true;
            continue;
        }

        blocks.push_back (blockForLine (line));
    }
}

std::vector<MarkdownParser::Span> MarkdownParser::splitSpans (const juce::String& text)
{
    // Indices count code points; walking a UTF-8 string by index would also be quadratic.
    std::vector<juce::juce_wchar> chars;

    for (auto p = text.getCharPointer(); ! p.isEmpty();)
        chars.push_back (p.getAndAdvance());

    std::vector<Span> spans;
    std::vector<juce::juce_wchar> pending;
    const auto n = (int) chars.size();

    const auto flushPending = [&]
    {
        if (! pending.empty())
        {
            spans.push_back ({ SpanStyle::regular, codePoints (pending, 0, (int) pending.size()) });
            pending.clear();
        }
    };

    // The styled span that starts at i, if one does; i moves past its closing marker.
    const auto takeStyledSpan = [&] (int& i)
    {
        for (const auto& marker : spanMarkers)
        {
            if (! asterisksAt (chars, i, marker.length))
                continue;

            const auto textStart = i + marker.length;
            const auto close = findAsterisks (chars, textStart, marker.length);

            if (close > textStart)
            {
                flushPending();
                spans.push_back ({ marker.style, codePoints (chars, textStart, close) });
                i = close + marker.length;
                return true;
            }
        }

        return false;
    };

    for (int i = 0; i < n;)
    {
        if (! takeStyledSpan (i))
            pending.push_back (chars[(size_t) i++]);
    }

    flushPending();
    return spans;
}
