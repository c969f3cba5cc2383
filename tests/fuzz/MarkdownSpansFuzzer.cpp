#include "core/MarkdownParser.h"
#include "ui/MarkdownSpans.h"
#include "core/TextDecoding.h"

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

namespace
{
    juce::String withoutAsterisks (const juce::String& text)
    {
        return text.removeCharacters ("*");
    }
}

// Any text, decoded as the release notes are, styled as the panel styles it: styling a line
// only ever takes asterisks away from it, and every character carries one style. The parser's
// own rules are the parser target's business.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    const auto decoded = TextDecoding::decode (data, size);

    if (! decoded)
        return -1;

    std::vector<MarkdownParser::Block> blocks;
    MarkdownParser::appendBlocks (*decoded, blocks);

    const juce::Font regular (juce::FontOptions (18.0f)),
                     bold (juce::FontOptions (18.0f, juce::Font::bold)),
                     italic (juce::FontOptions (18.0f, juce::Font::italic));

    for (const auto& block : blocks)
    {
        juce::AttributedString styled;
        appendMarkdownSpans (styled, block.text, regular, bold, italic, juce::Colours::white);

        if (withoutAsterisks (styled.getText()) != withoutAsterisks (block.text))
            __builtin_trap();

        int covered = 0;

        for (int a = 0; a < styled.getNumAttributes(); ++a)
            covered += styled.getAttribute (a).range.getLength();

        if (covered != styled.getText().length())
            __builtin_trap();
    }

    return 0;
}
