#pragma once

#include <juce_core/juce_core.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

//==============================================================================
/** Turns a fuzzer's bytes into text the way the release notes' resource is decoded. The
    framework's strings hold valid UTF-8 only, so byte soup that is neither well-formed UTF-8
    nor marked as UTF-16 is not text and gives nothing.
*/
namespace FuzzText
{
    inline bool startsWithUtf16Mark (const uint8_t* data, size_t size)
    {
        return size >= 2 && ((data[0] == 0xff && data[1] == 0xfe) || (data[0] == 0xfe && data[1] == 0xff));
    }

    /** Well-formed UTF-8 without zero bytes: the framework's own check stops at the first zero
        and does not look at every continuation byte. */
    inline bool isWellFormedUtf8 (const uint8_t* data, size_t size)
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

    inline std::optional<juce::String> decode (const uint8_t* data, size_t size)
    {
        if (! startsWithUtf16Mark (data, size) && ! isWellFormedUtf8 (data, size))
            return {};

        // Embedded resources end in a zero byte, and the framework's decoding relies on it: it
        // looks at the first character even of an empty range, as after a lone byte order mark.
        std::vector<uint8_t> terminated (data, data + size);
        terminated.push_back (0);

        return juce::String::createStringFromData (terminated.data(), (int) size);
    }
}
