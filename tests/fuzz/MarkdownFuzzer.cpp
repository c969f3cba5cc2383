#include "core/MarkdownParser.h"
#include "ui/MarkdownSpans.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

namespace
{
    bool startsWithUtf16Mark (const uint8_t* data, size_t size)
    {
        return size >= 2 && ((data[0] == 0xff && data[1] == 0xfe) || (data[0] == 0xfe && data[1] == 0xff));
    }

    /** Well-formed UTF-8 without zero bytes: the framework's own check stops at the first zero
        and does not look at every continuation byte. */
    bool isWellFormedUtf8 (const uint8_t* data, size_t size)
    {
        for (size_t i = 0; i < size;)
        {
            const auto lead = data[i];
            const size_t extra = lead == 0 ? 99 : lead < 0x80 ? 0 : lead < 0xc2 ? 99 : lead < 0xe0 ? 1 : lead < 0xf0 ? 2 : lead <= 0xf4 ? 3 : 99;

            if (extra == 99 || i + extra >= size)
                return false;

            for (size_t k = 1; k <= extra; ++k)
                if ((data[i + k] & 0xc0) != 0x80)
                    return false;

            i += extra + 1;
        }

        return true;
    }

    juce::String withoutAsterisks (const juce::String& text)
    {
        return text.removeCharacters ("*");
    }
}

// Any text, decoded as the release notes are: every block is one line, and styling a line
// only ever takes asterisks away from it. The framework's strings hold valid UTF-8 only, so
// byte soup that is neither UTF-8 nor marked as UTF-16 is not text and is skipped.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    if (! startsWithUtf16Mark (data, size) && ! isWellFormedUtf8 (data, size))
        return -1;

    // Embedded resources end in a zero byte, and the framework's decoding relies on it: it looks
    // at the first character even of an empty range, as after a lone byte order mark.
    std::vector<uint8_t> terminated (data, data + size);
    terminated.push_back (0);

    const auto text = juce::String::createStringFromData (terminated.data(), (int) size);

    std::vector<MarkdownParser::Block> blocks;
    MarkdownParser::appendBlocks (text, blocks);

    const juce::Font regular (juce::FontOptions (18.0f)),
                     bold (juce::FontOptions (18.0f, juce::Font::bold)),
                     italic (juce::FontOptions (18.0f, juce::Font::italic));

    for (size_t i = 0; i < blocks.size(); ++i)
    {
        const auto& block = blocks[i];

        if (block.text.containsAnyOf ("\r\n"))
            __builtin_trap();

        if (block.type == MarkdownParser::blank && (block.text.isNotEmpty() || (i > 0 && blocks[i - 1].type == MarkdownParser::blank)))
            __builtin_trap();

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
