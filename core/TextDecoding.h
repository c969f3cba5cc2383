#pragma once

#include <juce_core/juce_core.h>
#include <optional>

//==============================================================================
/** Turns bytes from outside into text. The framework's strings must hold valid UTF-8: bytes
    that are not (a file saved in a legacy code page, say) make its string and path functions
    misbehave, up to endless recursion. So only well-formed UTF-8, with or without a byte
    order mark, and text marked as UTF-16 are taken; anything else is no text at all.
*/
class TextDecoding
{
public:
    TextDecoding() = delete;

    static std::optional<juce::String> decode (const void* data, size_t numBytes);

    /** Well-formed UTF-8 with no zero byte: every sequence complete, none overlong, no
        surrogates and nothing above U+10FFFF. The framework's own check stops at the first
        zero and does not look at every continuation byte. */
    static bool isWellFormedUtf8 (const void* data, size_t numBytes) noexcept;
};
