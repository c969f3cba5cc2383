#pragma once

#include <juce_core/juce_core.h>

#include <optional>

//==============================================================================
/** Whether a format's bundle fits on the volume of its install folder, asked before anything
    is written, so that a full disk fails the format cleanly instead of half-way through the
    unpacking. The staging folder lies beside the bundle, so one volume holds both.
*/
class DiskSpace
{
public:
    DiskSpace() = delete;

    /** The folder itself when it exists, otherwise its nearest ancestor that does: the
        folder that an install would create lies on that one's volume. */
    static juce::File nearestExistingFolder (const juce::File& folder);

    /** The bytes free to this program on the volume that holds the folder (or would hold
        it); -1 when the system cannot tell. */
    static juce::int64 bytesFreeFor (const juce::File& folder);

    /** Why the bytes do not fit in the folder, naming the folder, the space needed and the
        space free; nothing when they fit or the free space cannot be told. */
    static std::optional<juce::String> shortfall (const juce::File& installFolder, juce::int64 bytesNeeded);

    /** "12 KiB" below a mebibyte, otherwise "3.4 MiB"; a space needed is rounded up and a
        space free down, so that the two never read alike when the one does not fit the other. */
    static juce::String describe (juce::int64 bytes, bool roundUp);
};
