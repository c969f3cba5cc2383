#include "TestSupport.h"
#include "core/MarkdownParser.h"


namespace
{
    using Type = MarkdownParser::BlockType;
    using Style = MarkdownParser::SpanStyle;

    std::vector<MarkdownParser::Block> parse (const juce::String& text)
    {
        std::vector<MarkdownParser::Block> blocks;
        MarkdownParser::appendBlocks (text, blocks);
        return blocks;
    }

    /** The blocks as "type:text" lines, so that a mismatch shows the whole result. */
    std::string describe (const std::vector<MarkdownParser::Block>& blocks)
    {
        std::string result;

        for (const auto& block : blocks)
            result += std::to_string ((int) block.type) + ":" + block.text.toStdString() + "|";

        return result;
    }

    std::string describe (const std::vector<MarkdownParser::Span>& spans)
    {
        std::string result;

        for (const auto& span : spans)
            result += std::string (span.style == Style::bold ? "B" : span.style == Style::italic ? "I" : "R")
                    + "[" + span.text.toStdString() + "]";

        return result;
    }

    std::string spans (const juce::String& text)
    {
        return describe (MarkdownParser::splitSpans (text));
    }
}

TEST (MarkdownParser, BlockTypesKeepTheirNumbers)
{
    EXPECT_EQ ((int) MarkdownParser::heading1, 0);
    EXPECT_EQ ((int) MarkdownParser::heading3, 2);
    EXPECT_EQ ((int) MarkdownParser::bullet, 4);
    EXPECT_EQ ((int) MarkdownParser::blank, 5);
}

TEST (MarkdownParser, LinePrefixesAreTestedLongestHeadingFirst)
{
    const auto blocks = parse ("Title\n### three\n## two\n# one\n- dash\n* star\n#Heading\n-item\n+ plus\n1. numbered\n");

    EXPECT_EQ (describe (blocks), "2:three|1:two|0:one|4:dash|4:star|3:#Heading|3:-item|3:+ plus|3:1. numbered|5:|");
}

TEST (MarkdownParser, TrimmingHappensBeforeThePrefixTest)
{
    // Trailing white space goes first, so a lone "- " is a hyphen; the text after a prefix is
    // not trimmed again; indented bullets are plain bullets.
    const auto blocks = parse ("T\n- \n##   spaced\n  - indented\n\t* tabbed  \t\nend \v\f");

    EXPECT_EQ (describe (blocks), "3:-|1:  spaced|4:indented|4:tabbed|3:end|");
}

TEST (MarkdownParser, TheFirstNonEmptyLineIsTheTitleWhateverItsForm)
{
    EXPECT_EQ (describe (parse ("\n\n- looks like a bullet\n# heading after the title\n")), "0:heading after the title|5:|");
    EXPECT_EQ (describe (parse ("only a title")), "");
    EXPECT_EQ (describe (parse ("")), "");
    EXPECT_EQ (describe (parse (" \r\n\t\r\n")), "");
}

TEST (MarkdownParser, EmptyLinesFoldIntoOneBlankAfterTheFirstBlock)
{
    // No blank right after the title, one for any run of empty lines, one at a final line end.
    EXPECT_EQ (describe (parse ("Title\n\n\nfirst\n\n\n\nsecond\r\n\r\nthird\r\n")), "3:first|5:|3:second|5:|3:third|5:|");
    EXPECT_EQ (describe (parse ("Title\rfirst\r\rsecond")), "3:first|5:|3:second|");
}

// The file the window embeds; the core's tests link none of the window's assets.
TEST (MarkdownParser, TheEmbeddedReleaseNotesParseIntoVersionSections)
{
    const auto text = juce::File (OV_SOURCE_DIR).getChildFile ("resources/CHANGELOG.md").loadFileAsString();
    const auto blocks = parse (text);

    ASSERT_FALSE (blocks.empty());
    EXPECT_EQ (blocks.front().type, Type::heading2);
    EXPECT_TRUE (blocks.front().text.startsWith ("v"));
    EXPECT_EQ (blocks.back().type, Type::blank);

    int sections = 0;

    for (size_t i = 0; i < blocks.size(); ++i)
    {
        if (blocks[i].type == Type::heading2)
        {
            ++sections;
            ASSERT_LT (i + 2, blocks.size());
            EXPECT_EQ (blocks[i + 1].type, Type::blank);
            EXPECT_EQ (blocks[i + 2].type, Type::bullet) << blocks[i].text;
        }

        EXPECT_FALSE (blocks[i].text.containsChar ('\r'));
    }

    EXPECT_EQ (sections, 9);
}

TEST (MarkdownParser, BoldItalicAndPlainRuns)
{
    EXPECT_EQ (spans ("**Fixed:** a crash"), "B[Fixed:]R[ a crash]");
    EXPECT_EQ (spans ("**a** and *b*"), "B[a]R[ and ]I[b]");
    EXPECT_EQ (spans ("a * b * c"), "R[a ]I[ b ]R[ c]");
    EXPECT_EQ (spans ("Use `x`"), "R[Use `x`]");
    EXPECT_EQ (spans (""), "");
}

TEST (MarkdownParser, UnclosedAndEmptySpansShowTheirAsterisks)
{
    EXPECT_EQ (spans ("**unclosed"), "R[**unclosed]");
    EXPECT_EQ (spans ("****"), "R[****]");
    EXPECT_EQ (spans ("**"), "R[**]");
    EXPECT_EQ (spans ("*"), "R[*]");
    EXPECT_EQ (spans ("a ** b"), "R[a ** b]");

    // A bold opener without a closer shows one asterisk and lets the other pair up.
    EXPECT_EQ (spans ("**x*y*"), "R[*]I[x]R[y*]");

    // Spans do not nest: the first closer ends the span.
    EXPECT_EQ (spans ("**a *b* c**"), "B[a *b* c]");
    EXPECT_EQ (spans ("*a **b** c*"), "I[a ]I[b]I[ c]");
}

TEST (MarkdownParser, SpansCountCodePointsNotBytes)
{
    const auto text = juce::String (juce::CharPointer_UTF8 ("\xc3\xa9**\xe2\x82\xac\xf0\x9f\x8e\xb9**\xc3\xbc*\xc3\x9f*"));

    const auto result = MarkdownParser::splitSpans (text);

    ASSERT_EQ (result.size(), 4u);
    EXPECT_EQ (result[0].text, juce::String (juce::CharPointer_UTF8 ("\xc3\xa9")));
    EXPECT_EQ (result[1].style, Style::bold);
    EXPECT_EQ (result[1].text, juce::String (juce::CharPointer_UTF8 ("\xe2\x82\xac\xf0\x9f\x8e\xb9")));
    EXPECT_EQ (result[2].text, juce::String (juce::CharPointer_UTF8 ("\xc3\xbc")));
    EXPECT_EQ (result[3].style, Style::italic);
    EXPECT_EQ (result[3].text, juce::String (juce::CharPointer_UTF8 ("\xc3\x9f")));
}
