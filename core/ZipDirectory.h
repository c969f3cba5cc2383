#pragma once

#include <juce_core/juce_core.h>

#include <optional>
#include <vector>

//==============================================================================
/** The central directory of a zip archive in memory, read for what the framework's reader
    drops: each entry's CRC-32. Unpacking checks the files it writes against it, and the
    verification of an installed bundle checks the files on the disk.
*/
class ZipDirectory
{
public:
    ZipDirectory() = delete;

    /** What the central directory promises about one entry. */
    struct Record
    {
        juce::String name;       // as stored, with the archive's own separators
        juce::uint32 crc = 0;
        juce::int64 size = 0;    // uncompressed
    };

    /** The records in archive order, the order in which the framework lists the entries;
        nothing when the directory does not hold as many whole records as it claims. */
    static std::optional<std::vector<Record>> read (const void* archiveData, size_t archiveSize);

    struct Totals
    {
        int files = 0;
        juce::int64 bytes = 0;
    };

    /** How many files the records hold and their uncompressed bytes; folders do not count. */
    static Totals totalsOf (const std::vector<Record>& records);
};
