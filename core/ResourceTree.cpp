#include "core/ResourceTree.h"

#include <algorithm>

namespace
{
    using juce::int64;
    using juce::uint8;
    using juce::uint16;
    using juce::uint32;

    // Far more resource types than any module has; it keeps a hostile tree from making us
    // search much.
    constexpr int maxTypeEntriesExamined = 256;

    constexpr int resourceDirectorySize  = 16;
    constexpr int resourceEntrySize      = 8;
    constexpr int resourceDataEntrySize  = 16;
    constexpr uint32 resourceTypeVersion = 16;   // RT_VERSION
    constexpr uint32 subdirectoryFlag    = 0x80000000u;

    uint16 readUint16 (const uint8* bytes)    { return juce::ByteOrder::littleEndianShort (bytes); }
    uint32 readUint32 (const uint8* bytes)    { return juce::ByteOrder::littleEndianInt (bytes); }
}

//==============================================================================
bool ResourceTree::DirectoryEntry::leadsToDirectory() const noexcept    { return (target & subdirectoryFlag) != 0; }
uint32 ResourceTree::DirectoryEntry::offset() const noexcept            { return target & ~subdirectoryFlag; }

ResourceTree::ResourceTree (BoundedReader& r, PeImageLayout::Extent e) : reader (r), extent (e) {}

std::optional<PeImageLayout::AddressRange> ResourceTree::findVersionResource()
{
    const auto versionType = findTypeEntry (resourceTypeVersion);

    if (! versionType || ! versionType->leadsToDirectory())
        return {};

    const auto name = firstEntryOf (versionType->offset());

    if (! name || ! name->leadsToDirectory())
        return {};

    const auto language = firstEntryOf (name->offset());

    if (! language || language->leadsToDirectory())
        return {};

    return readDataEntry (language->offset());
}

bool ResourceTree::readWithin (int64 offset, void* destination, int numBytes)
{
    if (offset < 0 || offset > extent.size - numBytes)
        return false;

    return reader.readAt (extent.fileOffset + offset, destination, numBytes);
}

std::vector<ResourceTree::DirectoryEntry> ResourceTree::readEntries (uint32 directoryOffset, bool idEntriesOnly, int maxCount)
{
    std::array<uint8, resourceDirectorySize> header;

    if (! readWithin (directoryOffset, header.data(), (int) header.size()))
        return {};

    const int numNamed = readUint16 (header.data() + 12);
    const int numIds = readUint16 (header.data() + 14);
    const int first = idEntriesOnly ? numNamed : 0;
    const int count = juce::jmin (maxCount, idEntriesOnly ? numIds : numNamed + numIds);

    if (count <= 0)
        return {};

    std::vector<uint8> bytes ((size_t) (count * resourceEntrySize));
    const auto entriesOffset = (int64) directoryOffset + resourceDirectorySize + (int64) first * resourceEntrySize;

    if (! readWithin (entriesOffset, bytes.data(), (int) bytes.size()))
        return {};

    std::vector<DirectoryEntry> entries;

    for (int i = 0; i < count; ++i)
        entries.push_back ({ readUint32 (bytes.data() + i * resourceEntrySize),
                             readUint32 (bytes.data() + i * resourceEntrySize + 4) });

    return entries;
}

std::optional<ResourceTree::DirectoryEntry> ResourceTree::findTypeEntry (uint32 typeId)
{
    visitedDirectories.push_back (0);
    const auto types = readEntries (0, true, maxTypeEntriesExamined);

    const auto found = std::find_if (types.begin(), types.end(),
                                     [typeId] (const DirectoryEntry& e) { return e.nameOrId == typeId; });

    if (found == types.end())
        return {};

    return *found;
}

std::optional<ResourceTree::DirectoryEntry> ResourceTree::firstEntryOf (uint32 directoryOffset)
{
    // A directory met twice means the tree loops back on itself.
    if (std::find (visitedDirectories.begin(), visitedDirectories.end(), directoryOffset) != visitedDirectories.end())
        return {};

    visitedDirectories.push_back (directoryOffset);
    const auto entries = readEntries (directoryOffset, false, 1);

    if (entries.empty())
        return {};

    return entries.front();
}

std::optional<PeImageLayout::AddressRange> ResourceTree::readDataEntry (uint32 entryOffset)
{
    std::array<uint8, resourceDataEntrySize> entry;

    if (! readWithin (entryOffset, entry.data(), (int) entry.size()))
        return {};

    return PeImageLayout::AddressRange { readUint32 (entry.data()), readUint32 (entry.data() + 4) };
}
