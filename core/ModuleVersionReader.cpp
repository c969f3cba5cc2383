#include "core/ModuleVersionReader.h"
#include "core/FileTypes.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <vector>

namespace
{
    using juce::int64;
    using juce::uint8;
    using juce::uint16;
    using juce::uint32;

    // Limits that no linker comes near for a plug-in; they keep a hostile header from
    // making us read or search much.
    constexpr int maxSections            = 96;
    constexpr int maxTypeEntriesExamined = 256;

    constexpr int dosHeaderSize     = 64;
    constexpr int lfanewOffset      = 0x3c;
    constexpr int coffHeaderSize    = 20;
    constexpr int sectionHeaderSize = 40;

    constexpr uint16 pe32Magic     = 0x10b;
    constexpr uint16 pe32PlusMagic = 0x20b;
    constexpr int resourceDirectoryIndex = 2;
    constexpr int dataDirectorySize      = 8;

    constexpr int resourceDirectorySize      = 16;
    constexpr int resourceEntrySize          = 8;
    constexpr int resourceDataEntrySize      = 16;
    constexpr uint32 resourceTypeVersion     = 16;   // RT_VERSION
    constexpr uint32 subdirectoryFlag        = 0x80000000u;

    // VS_VERSIONINFO: wLength, wValueLength, wType, the key with its terminator, padding
    // to 32 bits, then VS_FIXEDFILEINFO, whose first four double words are all we need.
    constexpr char16_t versionInfoKey[] = u"VS_VERSION_INFO";
    constexpr int versionKeyLength      = (int) std::size (versionInfoKey);
    constexpr int blockHeaderSize       = 6;
    constexpr int fixedInfoOffset       = (blockHeaderSize + 2 * versionKeyLength + 3) & ~3;
    constexpr int fixedInfoSize         = 52;
    constexpr int versionPrefixSize     = fixedInfoOffset + fixedInfoSize;
    constexpr uint32 fixedInfoSignature = 0xfeef04bdu;

    uint16 readUint16 (const uint8* bytes)    { return juce::ByteOrder::littleEndianShort (bytes); }
    uint32 readUint32 (const uint8* bytes)    { return juce::ByteOrder::littleEndianInt (bytes); }

    //==============================================================================
    /** Reads from given positions of a stream, refusing anything that would pass its end or
        the budget of one call, and counts the bytes it takes. */
    class BoundedReader
    {
    public:
        explicit BoundedReader (juce::InputStream& source)
            : stream (source), streamLength (source.getTotalLength())
        {
        }

        int64 bytesRead() const noexcept    { return numBytesRead; }

        bool readAt (int64 position, void* destination, int numBytes)
        {
            // A stream of unknown length cannot be checked against, so it is refused.
            if (streamLength < 0 || position < 0 || numBytes <= 0 || position > streamLength - numBytes)
                return false;

            if (numBytesRead + numBytes > ModuleVersionReader::maxBytesRead)
                return false;

            if (! stream.setPosition (position))
                return false;

            const auto numRead = stream.read (destination, numBytes);
            numBytesRead += juce::jmax (0, numRead);
            return numRead == numBytes;
        }

        template <size_t size>
        bool readAt (int64 position, std::array<uint8, size>& destination)
        {
            return readAt (position, destination.data(), (int) size);
        }

    private:
        juce::InputStream& stream;
        const int64 streamLength;
        int64 numBytesRead = 0;

        JUCE_DECLARE_NON_COPYABLE (BoundedReader)
    };

    //==============================================================================
    struct Section
    {
        uint32 virtualAddress = 0;
        uint32 sizeOnDisk = 0;      // the part of the section that the file holds
        uint32 pointerToRawData = 0;
    };

    /** A run of bytes in the file: where it starts and how many bytes belong to it. */
    struct Extent
    {
        int64 fileOffset = 0;
        int64 size = 0;
    };

    /** An RVA and a size, as the data directory and the resource data entries give them. */
    struct AddressRange
    {
        uint32 rva = 0;
        uint32 size = 0;
    };

    struct ImageLayout
    {
        std::vector<Section> sections;
        AddressRange resources;
    };

    /** Where in the file the bytes at rva lie, with as many of the size bytes as the same
        section holds on disk; nothing when no section's data holds the rva. */
    std::optional<Extent> mapToFile (const std::vector<Section>& sections, uint32 rva, uint32 size)
    {
        for (const auto& section : sections)
        {
            const int64 start = section.virtualAddress;
            const int64 end = start + section.sizeOnDisk;

            if (rva >= start && rva < end)
                return Extent { (int64) section.pointerToRawData + (rva - start),
                                juce::jmin ((int64) size, end - rva) };
        }

        return {};
    }

    //==============================================================================
    std::optional<int64> findPeHeader (BoundedReader& reader)
    {
        std::array<uint8, dosHeaderSize> dosHeader;

        if (! reader.readAt (0, dosHeader) || dosHeader[0] != 'M' || dosHeader[1] != 'Z')
            return {};

        // Read as unsigned: a negative e_lfanew becomes an offset past any real file.
        const int64 peOffset = readUint32 (dosHeader.data() + lfanewOffset);
        std::array<uint8, 4> signature;

        if (! reader.readAt (peOffset, signature) || signature != std::array<uint8, 4> { 'P', 'E', 0, 0 })
            return {};

        return peOffset;
    }

    std::optional<AddressRange> readResourceDataDirectory (BoundedReader& reader,
                                                           int64 optionalHeaderOffset,
                                                           int optionalHeaderSize)
    {
        std::array<uint8, 2> magic;

        if (! reader.readAt (optionalHeaderOffset, magic))
            return {};

        // The two layouts differ only in the width of the fields before the directories.
        int numberOfDirectoriesOffset = 0;

        switch (readUint16 (magic.data()))
        {
            case pe32Magic:      numberOfDirectoriesOffset = 92;  break;
            case pe32PlusMagic:  numberOfDirectoriesOffset = 108; break;
            default:             return {};
        }

        const auto entryOffset = numberOfDirectoriesOffset + 4 + resourceDirectoryIndex * dataDirectorySize;

        if (entryOffset + dataDirectorySize > optionalHeaderSize)
            return {};

        std::array<uint8, 4> numberOfDirectories;
        std::array<uint8, dataDirectorySize> entry;

        if (! reader.readAt (optionalHeaderOffset + numberOfDirectoriesOffset, numberOfDirectories)
             || readUint32 (numberOfDirectories.data()) <= (uint32) resourceDirectoryIndex
             || ! reader.readAt (optionalHeaderOffset + entryOffset, entry))
            return {};

        const AddressRange resources { readUint32 (entry.data()), readUint32 (entry.data() + 4) };

        if (resources.rva == 0 || resources.size == 0)
            return {};

        return resources;
    }

    std::vector<Section> readSectionTable (BoundedReader& reader, int64 tableOffset, int numSections)
    {
        if (numSections <= 0 || numSections > maxSections)
            return {};

        std::vector<uint8> table ((size_t) (numSections * sectionHeaderSize));

        if (! reader.readAt (tableOffset, table.data(), (int) table.size()))
            return {};

        std::vector<Section> sections;

        for (int i = 0; i < numSections; ++i)
        {
            const auto* header = table.data() + i * sectionHeaderSize;
            const auto virtualSize = readUint32 (header + 8);
            const auto sizeOfRawData = readUint32 (header + 16);

            // Past its virtual size a section is padding, even where the file has bytes.
            sections.push_back ({ readUint32 (header + 12),
                                  virtualSize != 0 ? juce::jmin (virtualSize, sizeOfRawData) : sizeOfRawData,
                                  readUint32 (header + 20) });
        }

        return sections;
    }

    std::optional<ImageLayout> readImageLayout (BoundedReader& reader)
    {
        const auto peOffset = findPeHeader (reader);

        if (! peOffset)
            return {};

        const auto coffOffset = *peOffset + 4;
        std::array<uint8, coffHeaderSize> coffHeader;

        if (! reader.readAt (coffOffset, coffHeader))
            return {};

        const int numSections = readUint16 (coffHeader.data() + 2);
        const int optionalHeaderSize = readUint16 (coffHeader.data() + 16);
        const auto optionalHeaderOffset = coffOffset + coffHeaderSize;

        const auto resources = readResourceDataDirectory (reader, optionalHeaderOffset, optionalHeaderSize);

        if (! resources)
            return {};

        auto sections = readSectionTable (reader, optionalHeaderOffset + optionalHeaderSize, numSections);

        if (sections.empty())
            return {};

        return ImageLayout { std::move (sections), *resources };
    }

    //==============================================================================
    struct DirectoryEntry
    {
        uint32 nameOrId = 0;
        uint32 target = 0;

        bool leadsToDirectory() const noexcept    { return (target & subdirectoryFlag) != 0; }
        uint32 offset() const noexcept            { return target & ~subdirectoryFlag; }
    };

    /** The resource tree: every offset in it counts from its start and must stay inside it. */
    class ResourceTree
    {
    public:
        ResourceTree (BoundedReader& r, Extent e) : reader (r), extent (e) {}

        /** The data entry of the first language of the first name of RT_VERSION. */
        std::optional<AddressRange> findVersionResource()
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

    private:
        bool readWithin (int64 offset, void* destination, int numBytes)
        {
            if (offset < 0 || offset > extent.size - numBytes)
                return false;

            return reader.readAt (extent.fileOffset + offset, destination, numBytes);
        }

        /** Up to maxCount entries of a directory, named ones included or not. */
        std::vector<DirectoryEntry> readEntries (uint32 directoryOffset, bool idEntriesOnly, int maxCount)
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

        std::optional<DirectoryEntry> findTypeEntry (uint32 typeId)
        {
            visitedDirectories.push_back (0);
            const auto types = readEntries (0, true, maxTypeEntriesExamined);

            const auto found = std::find_if (types.begin(), types.end(),
                                             [typeId] (const DirectoryEntry& e) { return e.nameOrId == typeId; });

            if (found == types.end())
                return {};

            return *found;
        }

        std::optional<DirectoryEntry> firstEntryOf (uint32 directoryOffset)
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

        std::optional<AddressRange> readDataEntry (uint32 entryOffset)
        {
            std::array<uint8, resourceDataEntrySize> entry;

            if (! readWithin (entryOffset, entry.data(), (int) entry.size()))
                return {};

            return AddressRange { readUint32 (entry.data()), readUint32 (entry.data() + 4) };
        }

        BoundedReader& reader;
        const Extent extent;
        std::vector<uint32> visitedDirectories;

        JUCE_DECLARE_NON_COPYABLE (ResourceTree)
    };

    //==============================================================================
    bool hasVersionInfoKey (const uint8* block)
    {
        for (int i = 0; i < versionKeyLength; ++i)
            if (readUint16 (block + blockHeaderSize + 2 * i) != (uint16) versionInfoKey[i])
                return false;

        return true;
    }

    juce::String formatVersion (uint32 mostSignificant, uint32 leastSignificant)
    {
        return juce::String (mostSignificant >> 16) + "." + juce::String (mostSignificant & 0xffff) + "."
             + juce::String (leastSignificant >> 16) + "." + juce::String (leastSignificant & 0xffff);
    }

    juce::String readFixedFileVersion (BoundedReader& reader, const std::vector<Section>& sections,
                                       const AddressRange& resource)
    {
        if (resource.size < (uint32) versionPrefixSize)
            return {};

        // The whole resource must lie in one section's data, as it would once loaded.
        const auto location = mapToFile (sections, resource.rva, resource.size);

        if (! location || location->size < (int64) resource.size)
            return {};

        std::array<uint8, versionPrefixSize> block;

        if (! reader.readAt (location->fileOffset, block))
            return {};

        const auto blockLength = readUint16 (block.data());
        const auto valueLength = readUint16 (block.data() + 2);
        const auto* fixedInfo = block.data() + fixedInfoOffset;

        if (blockLength < versionPrefixSize || valueLength < fixedInfoSize
             || ! hasVersionInfoKey (block.data())
             || readUint32 (fixedInfo) != fixedInfoSignature)
            return {};

        return formatVersion (readUint32 (fixedInfo + 8), readUint32 (fixedInfo + 12));
    }

    juce::String readVersion (BoundedReader& reader)
    {
        const auto image = readImageLayout (reader);

        if (! image)
            return {};

        // The tree may not reach past its directory entry nor past its section's data.
        const auto treeExtent = mapToFile (image->sections, image->resources.rva, image->resources.size);

        if (! treeExtent)
            return {};

        const auto resource = ResourceTree (reader, *treeExtent).findVersionResource();

        if (! resource)
            return {};

        return readFixedFileVersion (reader, image->sections, *resource);
    }
}

//==============================================================================
juce::String ModuleVersionReader::readFileVersion (const juce::File& module)
{
   #if JUCE_WINDOWS
    return module.getVersion();
   #else
    // A folder opens like a file on some systems, and a pipe would block the opening for
    // ever, so only an ordinary file is opened.
    if (! FileTypes::isRegularFile (module))
        return {};

    juce::FileInputStream stream (module);

    if (stream.failedToOpen())
        return {};

    return readFileVersion (stream);
   #endif
}

juce::String ModuleVersionReader::readFileVersion (juce::InputStream& stream)
{
    return read (stream).version;
}

ModuleVersionReader::Result ModuleVersionReader::read (juce::InputStream& stream)
{
    BoundedReader reader (stream);
    auto version = readVersion (reader);
    return { std::move (version), reader.bytesRead() };
}
