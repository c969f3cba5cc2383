#include "core/VersionBlock.h"

#include <iterator>

namespace
{
    using juce::int64;
    using juce::uint8;
    using juce::uint16;
    using juce::uint32;

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
}

//==============================================================================
juce::String VersionBlock::readFixedFileVersion (BoundedReader& reader, const PeImageLayout& layout,
                                                const PeImageLayout::AddressRange& resource)
{
    if (resource.size < (uint32) versionPrefixSize)
        return {};

    // The whole resource must lie in one section's data, as it would once loaded.
    const auto location = layout.mapToFile (resource.rva, resource.size);

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

