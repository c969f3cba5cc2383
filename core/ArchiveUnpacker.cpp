#include "core/ArchiveUnpacker.h"
#include "core/ZipDirectory.h"

#include <array>
#include <optional>
#include <vector>

namespace
{
    using juce::int64;
    using juce::uint8;
    using juce::uint32;

    constexpr int copyBufferSize = 65536;

    uint32 read32 (const uint8* bytes) noexcept    { return juce::ByteOrder::littleEndianInt (bytes); }

    using CentralRecord = ZipDirectory::Record;

    //==============================================================================
    /** A file written under its temporary name, and the name it takes once all are good. */
    struct WrittenFile
    {
        juce::File partial;
        juce::File target;
    };

    class Unpacking
    {
    public:
        Unpacking (const void* archiveData, size_t archiveSize, const juce::String& topLevel, const juce::File& staged)
            : data (static_cast<const uint8*> (archiveData)), size (archiveSize),
              zip (new juce::MemoryInputStream (archiveData, archiveSize, false), true),
              topLevelName (topLevel), stagedItem (staged)
        {
        }

        juce::Result run()
        {
            const auto records = ZipDirectory::read (data, size);

            if (! records || records->empty() || (int) records->size() != zip.getNumEntries())
                return juce::Result::fail ("The archive is empty or damaged");

            for (int i = 0; i < zip.getNumEntries(); ++i)
                if (const auto result = unpackEntry (i, (*records)[(size_t) i]); result.failed())
                    return result;

            if (const auto named = giveFinalNames(); named.failed())
                return named;

            if (! stagedItem.exists())
                return juce::Result::fail ("The archive does not hold " + topLevelName);

            return juce::Result::ok();
        }

    private:
        juce::Result unpackEntry (int index, const CentralRecord& record)
        {
            const auto& entry = *zip.getEntry (index);

            // The two readings of the directory must agree, or the archive is not what it seems.
            if (entry.filename != record.name || entry.uncompressedSize != record.size)
                return juce::Result::fail ("The archive is damaged: its directory does not agree with itself");

            const auto path = entry.filename.replaceCharacter ('\\', '/');

            if (path.isEmpty())
                return juce::Result::ok();

            if (path.upToFirstOccurrenceOf ("/", false, false) != topLevelName)
                return juce::Result::fail ("The archive holds something besides " + topLevelName + ": " + path);

            const auto inside = path.fromFirstOccurrenceOf ("/", false, false);
            const auto target = inside.isEmpty() ? stagedItem : stagedItem.getChildFile (inside);

            if (target != stagedItem && ! target.isAChildOf (stagedItem))
                return juce::Result::fail ("Entry " + path + " is outside the target folder");

            if (entry.isSymbolicLink)
                return juce::Result::fail ("The archive holds a symbolic link: " + path);

            if (leadsThroughLink (target.getParentDirectory()))
                return juce::Result::fail ("Entry " + path + " leads through a symbolic link");

            if (path.endsWithChar ('/'))
                return createFolder (target, path);

            if (const auto created = createFolder (target.getParentDirectory(), path); created.failed())
                return created;

            return writeFile (index, record, target, path);
        }

        /** True when a folder on the way from the staged item down to the given one is a link. */
        bool leadsThroughLink (juce::File folder) const
        {
            for (; folder.isAChildOf (stagedItem) || folder == stagedItem; folder = folder.getParentDirectory())
                if (folder.isSymbolicLink())
                    return true;

            return false;
        }

        static juce::Result createFolder (const juce::File& folder, const juce::String& path)
        {
            if (const auto created = folder.createDirectory(); created.failed())
                return juce::Result::fail ("Could not create the folder for " + path + ": " + created.getErrorMessage());

            if (! folder.isDirectory())
                return juce::Result::fail ("Could not create the folder for " + path);

            return juce::Result::ok();
        }

        juce::Result writeFile (int index, const CentralRecord& record, const juce::File& target, const juce::String& path)
        {
            const auto partial = target.getSiblingFile (target.getFileName() + ArchiveUnpacker::partialSuffix);

            if (target.exists() || partial.exists())
                return juce::Result::fail ("The archive holds " + path + " twice");

            const std::unique_ptr<juce::InputStream> in (zip.createStreamForEntry (index));

            if (in == nullptr)
                return juce::Result::fail ("Could not read " + path + " from the archive");

            if (const auto copied = copyVerified (*in, partial, record, path); copied.failed())
                return copied;

            // Written after the stream is closed, so the last flush cannot touch them again.
            const auto time = zip.getEntry (index)->fileTime;
            partial.setLastModificationTime (time);
            partial.setLastAccessTime (time);

            written.push_back ({ partial, target });
            return juce::Result::ok();
        }

        juce::Result copyVerified (juce::InputStream& in, const juce::File& partial, const CentralRecord& record,
                                   const juce::String& path)
        {
            {
                // Unbuffered, so that every write's outcome is known where it happens; the
                // stream's own buffer would drop a short write at its final flush.
                juce::FileOutputStream out (partial, 0);

                if (out.failedToOpen())
                    return juce::Result::fail ("Could not write " + path + ": " + out.getStatus().getErrorMessage());

                int64 total = 0;
                uint32 crc = 0;

                for (;;)
                {
                    const auto numRead = in.read (buffer.getData(), copyBufferSize);

                    if (numRead <= 0)
                        break;

                    total += numRead;

                    // More than the directory promised is as damaged as less, and stops a bomb early.
                    if (total > record.size)
                        return juce::Result::fail (path + " is damaged: it is longer than the archive says");

                    crc = ArchiveUnpacker::crc32 (buffer.getData(), (size_t) numRead, crc);

                    if (! writeFully (out, buffer.getData(), (size_t) numRead))
                        return writeFailure (out, path);
                }

                // Also asks the system to put the bytes on the disk, and says if it could not.
                out.flush();

                if (out.getStatus().failed())
                    return writeFailure (out, path);

                if (total != record.size)
                    return juce::Result::fail (path + " is damaged: " + juce::String (total) + " of "
                                               + juce::String (record.size) + " bytes could be unpacked");

                if (crc != record.crc)
                    return juce::Result::fail (path + " is damaged: its CRC-32 does not match the archive's");
            }

            // What the disk holds once the file is closed, whatever the writes said.
            if (partial.getSize() != record.size)
                return juce::Result::fail ("Could not write " + path + ": the file on the disk is "
                                           + juce::String (partial.getSize()) + " bytes instead of " + juce::String (record.size));

            return juce::Result::ok();
        }

        /** Writes all of the bytes: a short write is tried again with the rest, and the system
            then says why it cannot go on (a full disk, a size limit). */
        static bool writeFully (juce::FileOutputStream& out, const char* bytes, size_t numBytes)
        {
            while (numBytes > 0)
            {
                const auto before = out.getPosition();

                if (out.write (bytes, numBytes))
                    return true;

                const auto written = out.getPosition() - before;

                if (written <= 0 || (size_t) written > numBytes)
                    return false;

                bytes += written;
                numBytes -= (size_t) written;
            }

            return true;
        }

        static juce::Result writeFailure (const juce::FileOutputStream& out, const juce::String& path)
        {
            const auto why = out.getStatus().failed() ? out.getStatus().getErrorMessage() : juce::String ("the write was cut short");
            return juce::Result::fail ("Could not write " + path + ": " + why);
        }

        juce::Result giveFinalNames()
        {
            for (const auto& file : written)
                if (! file.partial.moveFileTo (file.target))
                    return juce::Result::fail ("Could not name " + file.target.getFullPathName());

            return juce::Result::ok();
        }

        const uint8* data;
        const size_t size;
        juce::ZipFile zip;
        const juce::String topLevelName;
        const juce::File stagedItem;
        juce::HeapBlock<char> buffer { (size_t) copyBufferSize };
        std::vector<WrittenFile> written;

        JUCE_DECLARE_NON_COPYABLE (Unpacking)
    };

    //==============================================================================
    using CrcTables = std::array<std::array<uint32, 256>, 8>;

    /** Tables for eight bytes a step, as zlib and most tools read it. */
    CrcTables makeCrcTables() noexcept
    {
        CrcTables tables {};

        for (uint32 i = 0; i < 256; ++i)
        {
            auto c = i;

            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1) != 0 ? 0xedb88320u ^ (c >> 1) : c >> 1;

            tables[0][i] = c;
        }

        for (size_t i = 0; i < 256; ++i)
            for (size_t slice = 1; slice < tables.size(); ++slice)
                tables[slice][i] = (tables[slice - 1][i] >> 8) ^ tables[0][tables[slice - 1][i] & 0xff];

        return tables;
    }
}

//==============================================================================
juce::Result ArchiveUnpacker::unpack (const void* archiveData, size_t archiveSize,
                                      const juce::String& topLevelName, const juce::File& stagedItem)
{
    return Unpacking (archiveData, archiveSize, topLevelName, stagedItem).run();
}

juce::uint32 ArchiveUnpacker::crc32 (const void* data, size_t numBytes, juce::uint32 previous) noexcept
{
    static const auto t = makeCrcTables();

    auto crc = ~previous;
    const auto* bytes = static_cast<const uint8*> (data);

    for (; numBytes >= 8; numBytes -= 8, bytes += 8)
    {
        const auto low = crc ^ read32 (bytes);
        const auto high = read32 (bytes + 4);

        crc = t[7][low & 0xff] ^ t[6][(low >> 8) & 0xff] ^ t[5][(low >> 16) & 0xff] ^ t[4][low >> 24]
            ^ t[3][high & 0xff] ^ t[2][(high >> 8) & 0xff] ^ t[1][(high >> 16) & 0xff] ^ t[0][high >> 24];
    }

    for (; numBytes > 0; --numBytes, ++bytes)
        crc = t[0][(crc ^ *bytes) & 0xff] ^ (crc >> 8);

    return ~crc;
}
