#include "core/PeImageLayout.h"

namespace
{
    using juce::int64;
    using juce::uint8;
    using juce::uint16;
    using juce::uint32;

    // Far more sections than any linker makes for a plug-in; it keeps a hostile header from
    // making us read much.
    constexpr int maxSections = 96;

    constexpr int dosHeaderSize     = 64;
    constexpr int lfanewOffset      = 0x3c;
    constexpr int coffHeaderSize    = 20;
    constexpr int sectionHeaderSize = 40;

    constexpr uint16 pe32Magic     = 0x10b;
    constexpr uint16 pe32PlusMagic = 0x20b;
    constexpr int resourceDirectoryIndex = 2;
    constexpr int dataDirectorySize      = 8;

    uint16 readUint16 (const uint8* bytes)    { return juce::ByteOrder::littleEndianShort (bytes); }
    uint32 readUint32 (const uint8* bytes)    { return juce::ByteOrder::littleEndianInt (bytes); }

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

    std::optional<PeImageLayout::AddressRange> readResourceDataDirectory (BoundedReader& reader,
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

        const PeImageLayout::AddressRange resources { readUint32 (entry.data()), readUint32 (entry.data() + 4) };

        if (resources.rva == 0 || resources.size == 0)
            return {};

        return resources;
    }

    std::vector<PeImageLayout::Section> readSectionTable (BoundedReader& reader, int64 tableOffset, int numSections)
    {
        if (numSections <= 0 || numSections > maxSections)
            return {};

        std::vector<uint8> table ((size_t) (numSections * sectionHeaderSize));

        if (! reader.readAt (tableOffset, table.data(), (int) table.size()))
            return {};

        std::vector<PeImageLayout::Section> sections;

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
}

//==============================================================================
std::optional<PeImageLayout> PeImageLayout::read (BoundedReader& reader)
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

    return PeImageLayout { std::move (sections), *resources };
}

std::optional<PeImageLayout::Extent> PeImageLayout::mapToFile (uint32 rva, uint32 size) const
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
