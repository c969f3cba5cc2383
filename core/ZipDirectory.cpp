#include "core/ZipDirectory.h"

namespace
{
    using juce::uint8;

    constexpr juce::uint32 endRecordSignature     = 0x06054b50;
    constexpr juce::uint32 centralHeaderSignature = 0x02014b50;
    constexpr size_t endRecordSize                = 22;
    constexpr size_t centralHeaderSize            = 46;
    constexpr size_t maxArchiveCommentSize        = 65535;

    juce::uint16 read16 (const uint8* bytes) noexcept    { return juce::ByteOrder::littleEndianShort (bytes); }
    juce::uint32 read32 (const uint8* bytes) noexcept    { return juce::ByteOrder::littleEndianInt (bytes); }

    std::optional<size_t> findEndRecord (const uint8* data, size_t size)
    {
        if (size < endRecordSize)
            return {};

        const auto lowest = size > endRecordSize + maxArchiveCommentSize ? size - endRecordSize - maxArchiveCommentSize : 0;

        for (auto pos = size - endRecordSize + 1; pos-- > lowest;)
            if (read32 (data + pos) == endRecordSignature)
                return pos;

        return {};
    }
}

std::optional<std::vector<ZipDirectory::Record>> ZipDirectory::read (const void* archiveData, size_t size)
{
    const auto* data = static_cast<const uint8*> (archiveData);
    const auto endRecord = findEndRecord (data, size);

    if (! endRecord)
        return {};

    const int numEntries = read16 (data + *endRecord + 10);
    size_t offset = read32 (data + *endRecord + 16);

    // Some writers point just past the first header's signature; the framework allows it.
    if (offset >= 4 && offset + 4 <= size
         && read32 (data + offset) != centralHeaderSignature
         && read32 (data + offset - 4) == centralHeaderSignature)
        offset -= 4;

    std::vector<Record> records;

    for (int i = 0; i < numEntries; ++i)
    {
        if (offset > size || size - offset < centralHeaderSize || read32 (data + offset) != centralHeaderSignature)
            return {};

        const auto* header = data + offset;
        const size_t nameLength = read16 (header + 28);

        if (size - offset - centralHeaderSize < nameLength)
            return {};

        records.push_back ({ juce::String::fromUTF8 (reinterpret_cast<const char*> (header + centralHeaderSize), (int) nameLength),
                             read32 (header + 16),
                             (juce::int64) read32 (header + 24) });

        offset += centralHeaderSize + nameLength + read16 (header + 30) + read16 (header + 32);
    }

    return records;
}

ZipDirectory::Totals ZipDirectory::totalsOf (const std::vector<Record>& records)
{
    Totals totals;

    for (const auto& record : records)
    {
        if (! record.name.endsWithChar ('/') && ! record.name.endsWithChar ('\\'))
        {
            ++totals.files;
            totals.bytes += record.size;
        }
    }

    return totals;
}
