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

    /** The first index at or after `from` where `length` asterisks follow each other, or -1. */
    int findAsterisks (const std::vector<juce::juce_wchar>& text, int from, int length)
    {
        const auto n = (int) text.size();

        for (int k = from; k + length <= n; ++k)
        {
            int run = 0;

            while (run < length && text[(size_t) (k + run)] == '*')
                ++run;

            if (run == length)
                return k;
        }

        return -1;
    }

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

    for (int i = 0; i < n;)
    {
        if (i + 1 < n && chars[(size_t) i] == '*' && chars[(size_t) (i + 1)] == '*')
        {
            const auto j = findAsterisks (chars, i + 2, 2);

            if (j > i + 2)
            {
                flushPending();
                spans.push_back ({ SpanStyle::bold, codePoints (chars, i + 2, j) });
                i = j + 2;
                continue;
            }
        }

        if (chars[(size_t) i] == '*')
        {
            const auto j = findAsterisks (chars, i + 1, 1);

            if (j > i + 1)
            {
                flushPending();
                spans.push_back ({ SpanStyle::italic, codePoints (chars, i + 1, j) });
                i = j + 1;
                continue;
            }
        }

        pending.push_back (chars[(size_t) i]);
        ++i;
    }

    flushPending();
    return spans;
}
