#pragma once

#include "core/PeImageLayout.h"

//==============================================================================
/** The resource tree of a Windows module: every offset in it counts from its start and must
    stay inside it, and a directory met twice ends the walk, so a tree that loops back on
    itself or points outside cannot lead the reading astray.
*/
class ResourceTree
{
public:
    ResourceTree (BoundedReader& reader, PeImageLayout::Extent extent);

    /** The data entry of the first language of the first name of RT_VERSION. */
    std::optional<PeImageLayout::AddressRange> findVersionResource();

private:
    struct DirectoryEntry
    {
        juce::uint32 nameOrId = 0;
        juce::uint32 target = 0;

        bool leadsToDirectory() const noexcept;
        juce::uint32 offset() const noexcept;
    };

    bool readWithin (juce::int64 offset, void* destination, int numBytes);

    /** Up to maxCount entries of a directory, named ones included or not. */
    std::vector<DirectoryEntry> readEntries (juce::uint32 directoryOffset, bool idEntriesOnly, int maxCount);
    std::optional<DirectoryEntry> findTypeEntry (juce::uint32 typeId);
    std::optional<DirectoryEntry> firstEntryOf (juce::uint32 directoryOffset);
    std::optional<PeImageLayout::AddressRange> readDataEntry (juce::uint32 entryOffset);

    BoundedReader& reader;
    const PeImageLayout::Extent extent;
    std::vector<juce::uint32> visitedDirectories;

    JUCE_DECLARE_NON_COPYABLE (ResourceTree)
};
