#include "core/BoundedReader.h"

BoundedReader::BoundedReader (juce::InputStream& source, juce::int64 maxBytesToRead)
    : stream (source), streamLength (source.getTotalLength()), budget (maxBytesToRead)
{
}

bool BoundedReader::readAt (juce::int64 position, void* destination, int numBytes)
{
    // A stream of unknown length cannot be checked against, so it is refused.
    if (streamLength < 0 || position < 0 || numBytes <= 0 || position > streamLength - numBytes)
        return false;

    if (numBytesRead + numBytes > budget)
        return false;

    if (! stream.setPosition (position))
        return false;

    const auto numRead = stream.read (destination, numBytes);
    numBytesRead += juce::jmax (0, numRead);
    return numRead == numBytes;
}
