#pragma once

#include <juce_core/juce_core.h>

#include <array>

//==============================================================================
/** Reads from given positions of a stream, refusing anything that would pass its end or
    the budget of one reading, and counts the bytes it takes: a damaged or hostile file can
    make a reading fail, never make it read much.
*/
class BoundedReader
{
public:
    BoundedReader (juce::InputStream& source, juce::int64 maxBytesToRead);

    juce::int64 bytesRead() const noexcept    { return numBytesRead; }

    bool readAt (juce::int64 position, void* destination, int numBytes);

    template <size_t size>
    bool readAt (juce::int64 position, std::array<juce::uint8, size>& destination)
    {
        return readAt (position, destination.data(), (int) size);
    }

private:
    juce::InputStream& stream;
    const juce::int64 streamLength;
    const juce::int64 budget;
    juce::int64 numBytesRead = 0;

    JUCE_DECLARE_NON_COPYABLE (BoundedReader)
};
