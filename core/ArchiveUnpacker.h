#pragma once

#include <juce_core/juce_core.h>

//==============================================================================
/** Unpacks a zip archive that holds one item at its top level (a bundle folder or a single
    file) and proves every byte on the way, as `unzip -t` would.

    Each file is written under a temporary name, with the result of every write and of the
    final flush checked; its length is checked against the entry's size and its CRC-32
    against the archive's central directory. Only when every entry has passed do the files
    take their real names, so an interrupted or failed unpack never leaves a half-written
    file under a name that a plug-in host would load.

    The top-level item is written to a path of the caller's choosing rather than under its
    own name, so that it too can stay out of a host's sight until it is moved into place.
*/
class ArchiveUnpacker
{
public:
    ArchiveUnpacker() = delete;

    /** The ending of a file that is still being written. */
    static constexpr const char* partialSuffix = ".partial";

    /** Unpacks the archive's item named topLevelName to the path stagedItem. Entries outside
        that item, symbolic links and anything reaching out of stagedItem are refused. On
        failure the reason names the entry and what went wrong; whatever was written stays
        for the caller to remove. */
    static juce::Result unpack (const void* archiveData, size_t archiveSize,
                                const juce::String& topLevelName, const juce::File& stagedItem);

    /** The CRC-32 used by zip archives (the polynomial 0xedb88320, reflected). */
    static juce::uint32 crc32 (const void* data, size_t numBytes, juce::uint32 previous = 0) noexcept;
};
