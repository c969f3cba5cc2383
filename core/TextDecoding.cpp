#include "core/TextDecoding.h"

#include <limits>
#include <vector>

namespace
{
    bool startsWithUtf16Mark (const juce::uint8* bytes, size_t numBytes) noexcept
    {
        return numBytes >= 2 && ((bytes[0] == 0xff && bytes[1] == 0xfe) || (bytes[0] == 0xfe && bytes[1] == 0xff));
    }

    /** How many continuation bytes follow a lead byte, and the range the first of them must
        lie in so that the sequence is neither overlong, a surrogate nor beyond U+10FFFF. */
    struct Lead
    {
        int continuations;
        juce::uint8 low, high;
    };

    std::optional<Lead> leadOf (juce::uint8 byte) noexcept
    {
        if (byte >= 0xc2 && byte <= 0xdf)   return Lead { 1, 0x80, 0xbf };
        if (byte == 0xe0)                   return Lead { 2, 0xa0, 0xbf };
        if (byte == 0xed)                   return Lead { 2, 0x80, 0x9f };
        if (byte >= 0xe1 && byte <= 0xef)   return Lead { 2, 0x80, 0xbf };
        if (byte == 0xf0)                   return Lead { 3, 0x90, 0xbf };
        if (byte >= 0xf1 && byte <= 0xf3)   return Lead { 3, 0x80, 0xbf };
        if (byte == 0xf4)                   return Lead { 3, 0x80, 0x8f };
        return {};
    }
}

bool TextDecoding::isWellFormedUtf8 (const void* data, size_t numBytes) noexcept
{
    const auto* bytes = static_cast<const juce::uint8*> (data);

    for (size_t i = 0; i < numBytes;)
    {
        // Most text is ASCII, one byte a character.
        if (bytes[i] >= 0x01 && bytes[i] <= 0x7f)
        {
            ++i;
            continue;
        }

        const auto lead = leadOf (bytes[i]);

        if (! lead || numBytes - i - 1 < (size_t) lead->continuations)
            return false;

        for (int k = 1; k <= lead->continuations; ++k)
        {
            const auto byte = bytes[i + (size_t) k];
            const auto low  = k == 1 ? lead->low  : (juce::uint8) 0x80;
            const auto high = k == 1 ? lead->high : (juce::uint8) 0xbf;

            if (byte < low || byte > high)
                return false;
        }

        i += (size_t) lead->continuations + 1;
    }

    return true;
}

std::optional<juce::String> TextDecoding::decode (const void* data, size_t numBytes)
{
    const auto* bytes = static_cast<const juce::uint8*> (data);

    if (numBytes > (size_t) std::numeric_limits<int>::max()
         || (! startsWithUtf16Mark (bytes, numBytes) && ! isWellFormedUtf8 (bytes, numBytes)))
        return {};

    // The framework's decoding looks at the first character even of an empty range, as after
    // a lone byte order mark, so the bytes it reads end in a zero, as embedded resources do.
    std::vector<juce::uint8> terminated (bytes, bytes + numBytes);
    terminated.push_back (0);

    return juce::String::createStringFromData (terminated.data(), (int) numBytes);
}
