#include "core/MarkdownParser.h"
#include "core/TextDecoding.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

// Any text, decoded as the release notes are, through the parser alone: every block is one
// line, and blank lines never come in pairs nor carry text.
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    const auto decoded = TextDecoding::decode (data, size);

    if (! decoded)
        return -1;

    std::vector<MarkdownParser::Block> blocks;
    MarkdownParser::appendBlocks (*decoded, blocks);

    for (size_t i = 0; i < blocks.size(); ++i)
    {
        const auto& block = blocks[i];

        // Looked for in the raw bytes: a line break is one byte in UTF-8, and the framework's
        // character walk would cost more than the parsing.
        if (std::strpbrk (block.text.toRawUTF8(), "\r\n") != nullptr)
            __builtin_trap();

        if (block.type == MarkdownParser::blank && (block.text.isNotEmpty() || (i > 0 && blocks[i - 1].type == MarkdownParser::blank)))
            __builtin_trap();
    }

    return 0;
}
