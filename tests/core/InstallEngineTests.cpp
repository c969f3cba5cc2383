#include "TestSupport.h"
#include "core/ArchiveUnpacker.h"
#include "core/BundleVerifier.h"
#include "core/InstallEngine.h"
#include "core/StagingArea.h"

#include <PayloadArchives.h>
#include <csignal>
#include <map>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
    struct Archive
    {
        const char* data;
        int size;
        const char* bundleName;
    };

    const Archive vst3 { PayloadArchives::vst3_zip, PayloadArchives::vst3_zipSize, "Kelvara 2.vst3" };
    const Archive clap { PayloadArchives::clap_zip, PayloadArchives::clap_zipSize, "Kelvara 2.clap" };
    const Archive aax  { PayloadArchives::aax_zip,  PayloadArchives::aax_zipSize,  "Kelvara 2.aaxplugin" };

    /** The relative paths an archive unpacks to, folders included. */
    juce::StringArray entriesOf (const Archive& archive)
    {
        juce::ZipFile zip (new juce::MemoryInputStream (archive.data, (size_t) archive.size, false), true);
        juce::StringArray names;

        for (int i = 0; i < zip.getNumEntries(); ++i)
            names.add (zip.getEntry (i)->filename.replaceCharacter ('\\', '/').trimCharactersAtEnd ("/"));

        return names;
    }

    /** Every file and folder below a folder, as sorted relative paths. */
    juce::StringArray treeOf (const juce::File& folder)
    {
        juce::StringArray paths;

        for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFilesAndDirectories))
            paths.add (entry.getFile().getRelativePathFrom (folder));

        paths.sort (false);
        return paths;
    }

    /** Every path an archive creates, parents included, sorted. */
    juce::StringArray expectedTreeOf (const Archive& archive)
    {
        juce::StringArray paths;

        for (auto name : entriesOf (archive))
        {
            for (; name.isNotEmpty(); name = name.upToLastOccurrenceOf ("/", false, false))
            {
                paths.addIfNotAlreadyThere (name);

                if (! name.containsChar ('/'))
                    break;
            }
        }

        paths.sort (false);
        return paths;
    }

    InstallEngine::FormatResult installArchive (const juce::File& folder, const Archive& archive)
    {
        return InstallEngine::install (0, folder, archive.bundleName, archive.data, (size_t) archive.size);
    }

    /** A zip made here, with entry names and contents of the test's choosing; compression
        level 0 stores the bytes as they are. */
    juce::MemoryBlock makeZip (const std::vector<std::pair<juce::String, juce::String>>& entries, int compression = 9)
    {
        juce::ZipFile::Builder builder;

        for (const auto& [name, content] : entries)
            builder.addEntry (new juce::MemoryInputStream (content.toRawUTF8(), content.getNumBytesAsUTF8(), true),
                              compression, name, juce::Time (2025, 0, 1, 0, 0));

        juce::MemoryOutputStream out;
        builder.writeToStream (out, nullptr);
        return out.getMemoryBlock();
    }

    /** The size and a 64-bit FNV-1a hash of a file's bytes, short enough to print. */
    juce::String fingerprintOf (const juce::File& file)
    {
        juce::MemoryBlock bytes;
        file.loadFileAsData (bytes);
        juce::uint64 hash = 0xcbf29ce484222325ull;

        for (size_t i = 0; i < bytes.getSize(); ++i)
            hash = (hash ^ (juce::uint8) bytes[i]) * 0x100000001b3ull;

        return juce::String ((juce::int64) bytes.getSize()) + " bytes, " + juce::String::toHexString ((juce::int64) hash);
    }

    /** Every file below a folder with a fingerprint of its bytes, and every folder, by
        relative path. */
    std::map<juce::String, juce::String> contentsOf (const juce::File& folder)
    {
        std::map<juce::String, juce::String> contents;

        for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFilesAndDirectories))
            contents[entry.getFile().getRelativePathFrom (folder)] = entry.isDirectory() ? juce::String ("folder")
                                                                                         : fingerprintOf (entry.getFile());

        return contents;
    }

    /** Relative paths of every item below a folder whose name ends in the extension. */
    juce::StringArray itemsEndingIn (const juce::File& folder, const juce::String& extension)
    {
        juce::StringArray found;

        for (const auto& entry : juce::RangedDirectoryIterator (folder, true, "*", juce::File::findFilesAndDirectories))
            if (entry.getFile().getFileName().endsWith (extension))
                found.add (entry.getFile().getRelativePathFrom (folder));

        found.sort (false);
        return found;
    }

    /** A file-size limit for this process that makes writes past it fail with EFBIG, as
        when SIGXFSZ is ignored; both are put back afterwards. */
    class ScopedFileSizeLimit
    {
    public:
        explicit ScopedFileSizeLimit (rlim_t bytes)
        {
            getrlimit (RLIMIT_FSIZE, &saved);
            previousHandler = std::signal (SIGXFSZ, SIG_IGN);
            rlimit limited { bytes, saved.rlim_max };
            setrlimit (RLIMIT_FSIZE, &limited);
        }

        ~ScopedFileSizeLimit()
        {
            setrlimit (RLIMIT_FSIZE, &saved);
            std::signal (SIGXFSZ, previousHandler);
        }

    private:
        rlimit saved {};
        void (*previousHandler) (int) = SIG_DFL;
    };

    /** Runs the install in a child process under a file-size limit with SIGXFSZ left to
        kill it, which it does in the middle of the first write past the limit. Returns
        the child's process id once it is dead, having checked how it died. */
    int installInAProcessKilledWhileWriting (const juce::File& folder, const juce::String& bundleName,
                                             const juce::MemoryBlock& archive, rlim_t limit)
    {
        const auto child = fork();

        if (child == 0)
        {
            std::signal (SIGXFSZ, SIG_DFL);
            rlimit limited { limit, limit };
            setrlimit (RLIMIT_FSIZE, &limited);
            InstallEngine::install (0, folder, bundleName, archive.getData(), archive.getSize());
            _exit (0);
        }

        int status = 0;
        EXPECT_EQ (waitpid (child, &status, 0), child);
        EXPECT_TRUE (WIFSIGNALED (status) && WTERMSIG (status) == SIGXFSZ) << "status " << status;
        return (int) child;
    }

    /** Sets or clears the immutable attribute, which stops even root from removing a file. */
    bool setImmutable (const juce::File& file, bool immutable)
    {
        juce::ChildProcess chattr;
        return chattr.start (juce::StringArray { "chattr", immutable ? "+i" : "-i", file.getFullPathName() })
            && chattr.waitForProcessToFinish (10000) && chattr.getExitCode() == 0;
    }

    /** A process id far above any the system hands out, so never running. */
    constexpr int deadProcessId = 2147483000;

    class Engine : public ::testing::Test
    {
    protected:
        juce::File folder() const    { return temp.getFile().getChildFile ("Common Files/VST3"); }

        /** An older bundle with a file the new release no longer ships. */
        juce::File makeOldVst3Bundle() const
        {
            const auto bundle = folder().getChildFile (vst3.bundleName);
            bundle.getChildFile ("Contents/x86_64-win").createDirectory();
            bundle.getChildFile ("Contents/x86_64-win/Kelvara 2.vst3").replaceWithText ("old module");
            bundle.getChildFile ("Contents/Resources/old-presets.xml").create();
            return bundle;
        }

        void expectNoStagingLeft() const
        {
            for (const auto& entry : juce::RangedDirectoryIterator (folder(), false, "*", juce::File::findFilesAndDirectories))
                EXPECT_FALSE (entry.getFile().getFileName().contains ("staging")) << entry.getFile().getFullPathName();
        }

        juce::TemporaryFile temp { juce::String(), juce::TemporaryFile::useHiddenFile };

        void TearDown() override    { temp.getFile().deleteRecursively(); }
    };
}

TEST_F (Engine, InstallsExactlyTheArchivesEntriesIntoAFolderItCreates)
{
    for (const auto* archive : { &vst3, &clap, &aax })
    {
        const auto result = installArchive (folder(), *archive);
        ASSERT_TRUE (result.succeeded) << result.reason;
        EXPECT_TRUE (result.reason.isEmpty());
    }

    auto expected = expectedTreeOf (vst3);
    expected.addArray (expectedTreeOf (clap));
    expected.addArray (expectedTreeOf (aax));
    expected.sort (false);

    EXPECT_EQ (treeOf (folder()), expected);
    EXPECT_TRUE (folder().getChildFile ("Kelvara 2.clap").existsAsFile());
    EXPECT_TRUE (folder().getChildFile ("Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3").getSize() > 1000);
}

TEST_F (Engine, ReplacingABundleDropsFilesTheNewOneDoesNotShip)
{
    makeOldVst3Bundle();

    const auto result = installArchive (folder(), vst3);
    ASSERT_TRUE (result.succeeded) << result.reason;

    EXPECT_EQ (treeOf (folder()), expectedTreeOf (vst3));
    EXPECT_NE (folder().getChildFile ("Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3").loadFileAsString(), "old module");
}

TEST_F (Engine, ADamagedArchiveLeavesTheOldBundleExactlyAsItWas)
{
    makeOldVst3Bundle();
    const auto before = treeOf (folder());

    const juce::String garbage ("this is no zip archive at all");
    const auto damaged = InstallEngine::install (0, folder(), vst3.bundleName, garbage.toRawUTF8(), (size_t) garbage.length());
    const auto truncated = InstallEngine::install (0, folder(), vst3.bundleName, vst3.data, (size_t) vst3.size / 2);

    for (const auto& result : { damaged, truncated })
    {
        EXPECT_FALSE (result.succeeded);
        EXPECT_TRUE (result.reason.isNotEmpty());
    }

    EXPECT_EQ (treeOf (folder()), before);
    EXPECT_EQ (folder().getChildFile ("Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3").loadFileAsString(), "old module");
    expectNoStagingLeft();
}

TEST_F (Engine, AnEntryThatCannotBeUnpackedFailsTheFormatWithTheFrameworksReason)
{
    makeOldVst3Bundle();
    const auto before = treeOf (folder());

    // The second entry needs a folder where the first one put a file.
    const auto zip = makeZip ({ { "Kelvara 2.vst3\\Contents", "a file" },
                                { "Kelvara 2.vst3\\Contents\\x86_64-win\\Kelvara 2.vst3", "module" } });
    const auto result = InstallEngine::install (0, folder(), vst3.bundleName, zip.getData(), zip.getSize());

    EXPECT_FALSE (result.succeeded);
    EXPECT_TRUE (result.reason.isNotEmpty());
    EXPECT_EQ (treeOf (folder()), before);
    expectNoStagingLeft();
}

TEST_F (Engine, EntriesReachingOutsideTheFolderAreRefused)
{
    const auto zip = makeZip ({ { "Kelvara 2.vst3\\..\\..\\escaped.txt", "x" } });
    const auto result = InstallEngine::install (0, folder(), vst3.bundleName, zip.getData(), zip.getSize());

    EXPECT_FALSE (result.succeeded);
    EXPECT_FALSE (folder().getParentDirectory().getChildFile ("escaped.txt").exists());
    EXPECT_FALSE (folder().getChildFile ("escaped.txt").exists());
    expectNoStagingLeft();
}

TEST_F (Engine, AnArchiveWithoutTheBundleIsAFailure)
{
    const auto zip = makeZip ({ { "Something Else.vst3\\file.txt", "x" } });
    const auto result = InstallEngine::install (0, folder(), vst3.bundleName, zip.getData(), zip.getSize());

    EXPECT_FALSE (result.succeeded);
    EXPECT_TRUE (result.reason.contains (vst3.bundleName));
    EXPECT_EQ (treeOf (folder()), juce::StringArray());
}

TEST_F (Engine, AnInstallFolderThatIsAFileFailsAndIsLeftAlone)
{
    folder().getParentDirectory().createDirectory();
    folder().replaceWithText ("not a folder");

    const auto result = installArchive (folder(), vst3);

    EXPECT_FALSE (result.succeeded);
    EXPECT_TRUE (result.reason.isNotEmpty());
    EXPECT_EQ (folder().loadFileAsString(), "not a folder");
}

TEST_F (Engine, MemoryForTheArchiveCopyThatCannotBeHadFailsTheFormat)
{
    makeOldVst3Bundle();
    const auto before = treeOf (folder());

    // No machine can give this much; the copy must fail before anything is read.
    const auto result = InstallEngine::install (0, folder(), vst3.bundleName, vst3.data, (size_t) 1 << 60);

    EXPECT_FALSE (result.succeeded);
    EXPECT_TRUE (result.reason.contains ("memory"));
    EXPECT_EQ (treeOf (folder()), before);
}

TEST_F (Engine, StagingFoldersOfEndedProcessesAreRemovedAndLiveOnesKept)
{
    folder().createDirectory();

    // A process id far above any the system hands out is not running.
    const auto abandoned = StagingArea::folderFor (folder(), vst3.bundleName, deadProcessId);
    const auto live = StagingArea::folderFor (folder(), vst3.bundleName, 1);
    const auto otherBundle = StagingArea::folderFor (folder(), clap.bundleName, deadProcessId);

    for (const auto& staging : { abandoned, live, otherBundle })
        staging.getChildFile ("incoming/partial.bin").create();

    ASSERT_FALSE (StagingArea::isProcessAlive (deadProcessId));
    ASSERT_TRUE (StagingArea::isProcessAlive (1));
    ASSERT_TRUE (StagingArea::isProcessAlive (StagingArea::currentProcessId()));

    const auto result = installArchive (folder(), vst3);
    ASSERT_TRUE (result.succeeded) << result.reason;

    EXPECT_FALSE (abandoned.exists());
    EXPECT_TRUE (live.exists());
    EXPECT_TRUE (otherBundle.exists());

    // Names that merely look alike are never touched.
    EXPECT_TRUE (abandoned.getFileName().startsWith (".Kelvara 2.vst3"));
    EXPECT_FALSE (abandoned.getFileName().endsWith (".vst3"));
}

TEST_F (Engine, UninstallRemovesTheBundleAndReportsWhatRemains)
{
    makeOldVst3Bundle();
    folder().getChildFile ("Other Plugin.vst3").createDirectory();

    const auto removed = InstallEngine::uninstall (0, folder(), vst3.bundleName);
    EXPECT_TRUE (removed.succeeded) << removed.reason;
    EXPECT_FALSE (folder().getChildFile (vst3.bundleName).exists());
    EXPECT_TRUE (folder().getChildFile ("Other Plugin.vst3").isDirectory());

    // Nothing there to remove is no failure.
    EXPECT_TRUE (InstallEngine::uninstall (0, folder(), vst3.bundleName).succeeded);
    EXPECT_TRUE (InstallEngine::uninstall (0, folder().getChildFile ("missing"), vst3.bundleName).succeeded);
}

TEST_F (Engine, ABundleThatIsASymbolicLinkIsReplacedWithoutTouchingItsTarget)
{
    const auto elsewhere = temp.getFile().getChildFile ("elsewhere");
    ASSERT_TRUE (elsewhere.createDirectory());
    ASSERT_TRUE (elsewhere.getChildFile ("keep.txt").replaceWithText ("keep"));
    folder().createDirectory();
    ASSERT_TRUE (elsewhere.createSymbolicLink (folder().getChildFile (vst3.bundleName), true));

    const auto result = installArchive (folder(), vst3);
    ASSERT_TRUE (result.succeeded) << result.reason;

    EXPECT_FALSE (folder().getChildFile (vst3.bundleName).isSymbolicLink());
    EXPECT_EQ (elsewhere.getChildFile ("keep.txt").loadFileAsString(), "keep");
}

TEST_F (Engine, ALinkToNothingInTheBundlesPlaceIsReplaced)
{
    folder().createDirectory();
    ASSERT_TRUE (temp.getFile().getChildFile ("gone").createSymbolicLink (folder().getChildFile (clap.bundleName), true));

    const auto result = installArchive (folder(), clap);
    ASSERT_TRUE (result.succeeded) << result.reason;
    EXPECT_TRUE (folder().getChildFile (clap.bundleName).existsAsFile());
    EXPECT_FALSE (folder().getChildFile (clap.bundleName).isSymbolicLink());
}

//==============================================================================
TEST (ArchiveChecksum, GivesZipsCrc32)
{
    // The check value of the CRC-32 used by zip, and a sentence every CRC table is tried on.
    EXPECT_EQ (ArchiveUnpacker::crc32 ("123456789", 9), 0xcbf43926u);
    EXPECT_EQ (ArchiveUnpacker::crc32 ("The quick brown fox jumps over the lazy dog", 43), 0x414fa339u);
    EXPECT_EQ (ArchiveUnpacker::crc32 ("", 0), 0u);

    // Carried on across pieces of every length, as the unpacking reads it.
    const juce::String text ("The quick brown fox jumps over the lazy dog");

    for (int split = 0; split <= text.length(); ++split)
    {
        const auto first = ArchiveUnpacker::crc32 (text.toRawUTF8(), (size_t) split);
        EXPECT_EQ (ArchiveUnpacker::crc32 (text.toRawUTF8() + split, (size_t) (text.length() - split), first), 0x414fa339u) << split;
    }
}

TEST_F (Engine, InstalledModulesCarryTheChecksumsThatUnzipListsForThem)
{
    for (const auto* archive : { &vst3, &clap })
        ASSERT_TRUE (installArchive (folder(), *archive).succeeded);

    // From `unzip -v` of the payloads.
    const std::pair<const char*, juce::uint32> modules[] { { "Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3", 0x0fce6198u },
                                                           { "Kelvara 2.vst3/Plugin.ico", 0x784611bbu },
                                                           { "Kelvara 2.clap", 0x2bc5f2eau } };

    for (const auto& [path, crc] : modules)
    {
        juce::MemoryBlock bytes;
        ASSERT_TRUE (folder().getChildFile (path).loadFileAsData (bytes)) << path;
        EXPECT_EQ (ArchiveUnpacker::crc32 (bytes.getData(), bytes.getSize()), crc) << path;
    }
}

TEST_F (Engine, DamagedBytesOrAWrongChecksumFailTheFormatAndLeaveNothingBehind)
{
    makeOldVst3Bundle();
    const auto before = contentsOf (folder());

    // Stored, so one changed byte reaches the file unnoticed by the decompressor.
    auto stored = makeZip ({ { "Kelvara 2.vst3\\Contents\\x86_64-win\\Kelvara 2.vst3", juce::String::repeatedString ("module ", 500) } }, 0);
    const auto dataStart = 30 + juce::String ("Kelvara 2.vst3\\Contents\\x86_64-win\\Kelvara 2.vst3").length();
    static_cast<char*> (stored.getData())[dataStart + 100] ^= 0x20;

    // The real archive with the module's checksum changed in the central directory.
    juce::MemoryBlock wrongChecksum (vst3.data, (size_t) vst3.size);
    const juce::MemoryBlock moduleName ("Kelvara 2.vst3\\Contents\\x86_64-win\\Kelvara 2.vst3", 49);
    auto* bytes = static_cast<juce::uint8*> (wrongChecksum.getData());
    int centralRecord = -1;

    for (int i = 0; i + 46 + 49 <= (int) wrongChecksum.getSize(); ++i)
        if (juce::ByteOrder::littleEndianInt (bytes + i) == 0x02014b50 && memcmp (bytes + i + 46, moduleName.getData(), 49) == 0)
            centralRecord = i;

    ASSERT_GE (centralRecord, 0);
    bytes[centralRecord + 16] ^= 0x01;

    for (const auto* archive : { &stored, &wrongChecksum })
    {
        const auto result = InstallEngine::install (0, folder(), vst3.bundleName, archive->getData(), archive->getSize());

        EXPECT_FALSE (result.succeeded);
        EXPECT_TRUE (result.reason.contains ("CRC-32")) << result.reason;
        EXPECT_TRUE (result.reason.contains ("x86_64-win/Kelvara 2.vst3")) << result.reason;
        EXPECT_EQ (contentsOf (folder()), before);
    }
}

TEST_F (Engine, WritesPastAFileSizeLimitFailTheFormatWithTheSystemsReason)
{
    makeOldVst3Bundle();
    const auto before = contentsOf (folder());
    InstallEngine::FormatResult result;

    {
        // Plugin.ico alone is 20664 bytes.
        ScopedFileSizeLimit limit (8192);
        result = installArchive (folder(), vst3);
    }

    EXPECT_FALSE (result.succeeded);
    EXPECT_TRUE (result.reason.contains ("File too large")) << result.reason;
    EXPECT_TRUE (result.reason.contains ("Plugin.ico")) << result.reason;
    EXPECT_EQ (contentsOf (folder()), before);

    // Without the limit the same install goes through.
    EXPECT_TRUE (installArchive (folder(), vst3).succeeded);
    EXPECT_EQ (treeOf (folder()), expectedTreeOf (vst3));
}

TEST_F (Engine, ARunKilledWhileWritingLeavesNoHalfWrittenPlugInAndTheNextRunCleansUp)
{
    makeOldVst3Bundle();
    folder().getChildFile (clap.bundleName).replaceWithText ("old clap");
    const auto before = contentsOf (folder());

    // Modules far larger than the limit, so each run dies in the middle of writing one.
    const auto bigModule = juce::String::repeatedString ("0123456789abcdef", 4096);
    const auto bundleZip = makeZip ({ { "Kelvara 2.vst3\\desktop.ini", "[.ShellClassInfo]" },
                                      { "Kelvara 2.vst3\\Contents\\x86_64-win\\Kelvara 2.vst3", bigModule } });
    const auto singleFileZip = makeZip ({ { "Kelvara 2.clap", bigModule } });

    const auto vst3Child = installInAProcessKilledWhileWriting (folder(), vst3.bundleName, bundleZip, 16384);
    const auto clapChild = installInAProcessKilledWhileWriting (folder(), clap.bundleName, singleFileZip, 16384);

    // The dead runs' staging folders are still there, but all a host finds is the old bundles.
    EXPECT_TRUE (StagingArea::folderFor (folder(), vst3.bundleName, vst3Child).isDirectory());
    EXPECT_TRUE (StagingArea::folderFor (folder(), clap.bundleName, clapChild).isDirectory());
    EXPECT_EQ (itemsEndingIn (folder(), ".vst3"), juce::StringArray ({ "Kelvara 2.vst3", "Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3" }));
    EXPECT_EQ (itemsEndingIn (folder(), ".clap"), juce::StringArray ({ "Kelvara 2.clap" }));

    for (const auto& [path, content] : before)
        EXPECT_EQ (contentsOf (folder())[path], content) << path;

    ASSERT_TRUE (installArchive (folder(), vst3).succeeded);
    ASSERT_TRUE (InstallEngine::install (1, folder(), clap.bundleName, clap.data, (size_t) clap.size).succeeded);

    auto expected = expectedTreeOf (vst3);
    expected.addArray (expectedTreeOf (clap));
    expected.sort (false);
    EXPECT_EQ (treeOf (folder()), expected);
}

TEST_F (Engine, AnOldBundleLeftMovedAsideByADeadRunIsPutBack)
{
    // The run died between its two moves: the bundle in place had been moved aside, twice
    // because another installer put one in between, and the new one never arrived.
    const auto staging = StagingArea::folderFor (folder(), vst3.bundleName, deadProcessId);
    staging.getChildFile ("previous-0/Contents/x86_64-win/Kelvara 2.vst3").create();
    staging.getChildFile ("previous-0/Contents/x86_64-win/Kelvara 2.vst3").replaceWithText ("first");
    staging.getChildFile ("previous-1/Contents/x86_64-win/Kelvara 2.vst3").create();
    staging.getChildFile ("previous-1/Contents/x86_64-win/Kelvara 2.vst3").replaceWithText ("last in place");
    staging.getChildFile ("incoming/desktop.ini.partial").create();

    // Recovery comes first, so even a run that then fails leaves the bundle back in place.
    const juce::String garbage ("no archive");
    const auto result = InstallEngine::install (0, folder(), vst3.bundleName, garbage.toRawUTF8(), (size_t) garbage.length());

    EXPECT_FALSE (result.succeeded);
    EXPECT_EQ (folder().getChildFile ("Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3").loadFileAsString(), "last in place");
    EXPECT_FALSE (staging.exists());
    EXPECT_EQ (treeOf (folder()), juce::StringArray ({ "Kelvara 2.vst3", "Kelvara 2.vst3/Contents",
                                                       "Kelvara 2.vst3/Contents/x86_64-win",
                                                       "Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3" }));
}

TEST_F (Engine, ABundleInPlaceWinsOverOneADeadRunMovedAside)
{
    makeOldVst3Bundle();
    const auto before = contentsOf (folder());
    const auto staging = StagingArea::folderFor (folder(), vst3.bundleName, deadProcessId);
    staging.getChildFile ("previous-0/Contents/x86_64-win/Kelvara 2.vst3").create();

    EXPECT_TRUE (StagingArea::recoverAbandonedFolders (folder(), vst3.bundleName).isEmpty());
    EXPECT_FALSE (staging.exists());
    EXPECT_EQ (contentsOf (folder()), before);
}

TEST_F (Engine, AStagingFolderThatCannotBeClearedNeverBlocksNorMixesInAndGoesOnceItCan)
{
    makeOldVst3Bundle();

    for (const auto processId : { StagingArea::currentProcessId(), deadProcessId })
    {
        const auto staging = StagingArea::folderFor (folder(), vst3.bundleName, processId);
        const auto stuck = staging.getChildFile ("incoming/Contents/stale.bin");
        ASSERT_TRUE (stuck.create().wasOk());

        if (! setImmutable (stuck, true))
            GTEST_SKIP() << "this file system has no immutable attribute";

        const auto result = installArchive (folder(), vst3);
        const auto stillThere = stuck.exists();
        setImmutable (stuck, false);

        EXPECT_TRUE (result.succeeded) << processId << ": " << result.reason;
        EXPECT_TRUE (result.note.contains (staging.getFullPathName())) << result.note;
        EXPECT_TRUE (stillThere);
        EXPECT_FALSE (folder().getChildFile ("Kelvara 2.vst3/Contents/stale.bin").exists());
        EXPECT_TRUE (BundleVerifier::verify (folder().getChildFile (vst3.bundleName), vst3.data, (size_t) vst3.size).state
                       == BundleVerifier::State::intact);

        // Released, it goes with the next run.
        const auto next = installArchive (folder(), vst3);
        EXPECT_TRUE (next.succeeded && next.note.isEmpty()) << next.note;
        EXPECT_EQ (treeOf (folder()), expectedTreeOf (vst3));
    }
}

TEST_F (Engine, UninstallTakesTheBundleAwayWholeOrNotAtAll)
{
    const auto bundle = folder().getChildFile (vst3.bundleName);
    const auto module = bundle.getChildFile ("Contents/x86_64-win/Kelvara 2.vst3");
    ASSERT_TRUE (installArchive (folder(), vst3).succeeded);

    // A bundle that cannot be moved is left exactly as it was.
    if (! setImmutable (bundle, true))
        GTEST_SKIP() << "this file system has no immutable attribute";

    const auto before = contentsOf (folder());
    const auto unmoved = InstallEngine::uninstall (0, folder(), vst3.bundleName);
    setImmutable (bundle, false);

    EXPECT_FALSE (unmoved.succeeded);
    EXPECT_TRUE (unmoved.reason.contains ("nothing of it was removed")) << unmoved.reason;
    EXPECT_EQ (contentsOf (folder()), before);

    // A file that cannot be deleted stays behind out of the hosts' sight, and is never put back.
    ASSERT_TRUE (setImmutable (module, true));
    const auto held = InstallEngine::uninstall (0, folder(), vst3.bundleName);
    const auto second = InstallEngine::uninstall (0, folder(), vst3.bundleName);
    const auto leftovers = itemsEndingIn (folder(), "Kelvara 2.vst3");

    for (const auto& path : leftovers)
        setImmutable (folder().getChildFile (path), false);

    EXPECT_TRUE (held.succeeded) << held.reason;
    EXPECT_TRUE (held.note.isNotEmpty());
    EXPECT_TRUE (second.succeeded && second.note.contains ("earlier run")) << second.note;
    EXPECT_FALSE (bundle.exists());
    EXPECT_EQ (leftovers.size(), 1);
    EXPECT_TRUE (leftovers[0].startsWith (".Kelvara 2.vst3.staging-")) << leftovers[0];

    EXPECT_TRUE (InstallEngine::uninstall (0, folder(), vst3.bundleName).note.isEmpty());
    EXPECT_EQ (treeOf (folder()), juce::StringArray());
}

//==============================================================================
TEST_F (Engine, VerifyNamesTheFirstDifferenceFromTheArchive)
{
    const auto bundle = folder().getChildFile (vst3.bundleName);
    const auto verify = [&] { return BundleVerifier::verify (bundle, vst3.data, (size_t) vst3.size); };

    EXPECT_EQ (verify().state, BundleVerifier::State::absent);
    ASSERT_TRUE (installArchive (folder(), vst3).succeeded);
    EXPECT_EQ (verify().state, BundleVerifier::State::intact);
    EXPECT_TRUE (verify().reason.isEmpty());

    const auto module = bundle.getChildFile ("Contents/x86_64-win/Kelvara 2.vst3");
    const auto icon = bundle.getChildFile ("Plugin.ico");

    // Each damage, the reason it gives, and how the test undoes it before the next.
    const std::vector<std::tuple<std::function<void()>, juce::String>> damages
    {
        { [&] { icon.deleteFile(); },                              "missing file Kelvara 2.vst3/Plugin.ico" },
        { [&] { icon.deleteFile(); icon.createDirectory(); },      "changed item Kelvara 2.vst3/Plugin.ico: a folder where the archive has a file" },
        { [&] { module.appendText ("x"); },                        "changed file Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3: its size differs from the archive's" },
        { [&] { bundle.getChildFile ("Contents/extra").createDirectory(); }, "stray folder Kelvara 2.vst3/Contents/extra" },
    };

    for (const auto& [damage, reason] : damages)
    {
        damage();
        const auto verdict = verify();
        EXPECT_EQ (verdict.state, BundleVerifier::State::damaged) << reason;
        EXPECT_EQ (verdict.reason, reason);

        bundle.deleteRecursively();
        ASSERT_TRUE (installArchive (folder(), vst3).succeeded);
    }
}
