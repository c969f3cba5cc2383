#include "core/BundleVerifier.h"
#include "core/ArchiveUnpacker.h"
#include "core/ZipDirectory.h"

#include <map>
#include <vector>

namespace
{
    constexpr int readBufferSize = 1 << 20;

    struct Expected
    {
        bool isFolder = false;
        juce::int64 size = 0;
        juce::uint32 crc = 0;
        bool found = false;
    };

    /** What the comparison has found so far; only the first difference is kept. */
    class Comparison
    {
    public:
        Comparison (const juce::File& installFolder, std::map<juce::String, Expected>& expectedItems)
            : folder (installFolder), expected (expectedItems) {}

        bool differs() const noexcept    { return difference.isNotEmpty(); }
        juce::String firstDifference() const    { return difference; }

        void note (const juce::String& what)
        {
            if (! differs())
                difference = what;
        }

        /** Walks the installed item without following links, checking what a directory
            listing tells: kind, presence and size. Files whose size agrees are kept for the
            checksum, which comes last because it reads every byte. */
        void walk (const juce::File& item)
        {
            if (differs())
                return;

            const auto path = item.getRelativePathFrom (folder).replaceCharacter ('\\', '/');
            const auto found = expected.find (path);

            if (found == expected.end())
            {
                note ((item.isSymbolicLink() ? "stray link " : item.isDirectory() ? "stray folder " : "stray file ") + path);
                return;
            }

            auto& wanted = found->second;
            wanted.found = true;

            if (item.isSymbolicLink())
                return note ("changed item " + path + ": a symbolic link where the archive has a "
                             + (wanted.isFolder ? "folder" : "file"));

            if (item.isDirectory() != wanted.isFolder)
                return note ("changed item " + path + ": a " + (wanted.isFolder ? "file where the archive has a folder"
                                                                                : "folder where the archive has a file"));

            if (! wanted.isFolder)
            {
                if (item.getSize() != wanted.size)
                    return note ("changed file " + path + ": its size differs from the archive's");

                toChecksum.push_back ({ item, path });
                return;
            }

            juce::Array<juce::File> children;

            for (const auto& entry : juce::RangedDirectoryIterator (item, false, "*", juce::File::findFilesAndDirectories))
                children.add (entry.getFile());

            children.sort();

            for (const auto& child : children)
                walk (child);
        }

        void findMissing (const juce::StringArray& archiveOrder)
        {
            for (const auto& path : archiveOrder)
                if (const auto& wanted = expected.at (path); ! wanted.found)
                    return note ((wanted.isFolder ? "missing folder " : "missing file ") + path);
        }

        void compareChecksums()
        {
            juce::HeapBlock<char> buffer ((size_t) readBufferSize);

            for (const auto& [file, path] : toChecksum)
            {
                if (differs())
                    return;

                juce::FileInputStream in (file);

                if (in.failedToOpen())
                    return note ("changed file " + path + ": it cannot be read (" + in.getStatus().getErrorMessage() + ")");

                juce::uint32 crc = 0;
                juce::int64 total = 0;

                for (int numRead; (numRead = in.read (buffer.getData(), readBufferSize)) > 0;)
                {
                    crc = ArchiveUnpacker::crc32 (buffer.getData(), (size_t) numRead, crc);
                    total += numRead;
                }

                const auto& wanted = expected.at (path);

                if (total != wanted.size || crc != wanted.crc)
                    note ("changed file " + path + ": its CRC-32 differs from the archive's");
            }
        }

    private:
        const juce::File folder;
        std::map<juce::String, Expected>& expected;
        std::vector<std::pair<juce::File, juce::String>> toChecksum;
        juce::String difference;
    };
}

BundleVerifier::Verdict BundleVerifier::verify (const juce::File& bundle, const void* archiveData, size_t archiveSize)
{
    if (! bundle.exists() && ! bundle.isSymbolicLink())
        return { State::absent, {} };

    const auto records = ZipDirectory::read (archiveData, archiveSize);

    if (! records)
        return { State::damaged, "the installer's own archive cannot be read" };

    // Every item the archive creates, by its path from the install folder; folders that only
    // appear in the paths of their files count as well.
    std::map<juce::String, Expected> expected;
    juce::StringArray archiveOrder;

    for (const auto& record : *records)
    {
        const auto name = record.name.replaceCharacter ('\\', '/');
        const bool isFolder = name.endsWithChar ('/');
        auto path = name.trimCharactersAtEnd ("/");

        if (path.isEmpty())
            continue;

        expected[path] = { isFolder, record.size, record.crc, false };
        archiveOrder.add (path);

        while (path.containsChar ('/'))
        {
            path = path.upToLastOccurrenceOf ("/", false, false);

            if (expected.count (path) == 0)
            {
                expected[path] = { true, 0, 0, false };
                archiveOrder.add (path);
            }
        }
    }

    Comparison comparison (bundle.getParentDirectory(), expected);
    comparison.walk (bundle);
    comparison.findMissing (archiveOrder);
    comparison.compareChecksums();

    if (comparison.differs())
        return { State::damaged, comparison.firstDifference() };

    return { State::intact, {} };
}

juce::String BundleVerifier::stateName (State state)
{
    switch (state)
    {
        case State::intact:   return "intact";
        case State::damaged:  return "damaged";
        case State::absent:   break;
    }

    return "absent";
}
