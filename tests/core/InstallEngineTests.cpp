#include "TestSupport.h"
#include "core/InstallEngine.h"

#include <BinaryData.h>

namespace
{
    struct Archive
    {
        const char* data;
        int size;
        const char* bundleName;
    };

    const Archive vst3 { BinaryData::vst3_zip, BinaryData::vst3_zipSize, "Kelvara 2.vst3" };
    const Archive clap { BinaryData::clap_zip, BinaryData::clap_zipSize, "Kelvara 2.clap" };
    const Archive aax  { BinaryData::aax_zip,  BinaryData::aax_zipSize,  "Kelvara 2.aaxplugin" };

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

    /** A zip made here, with entry names and contents of the test's choosing. */
    juce::MemoryBlock makeZip (const std::vector<std::pair<juce::String, juce::String>>& entries)
    {
        juce::ZipFile::Builder builder;

        for (const auto& [name, content] : entries)
            builder.addEntry (new juce::MemoryInputStream (content.toRawUTF8(), content.getNumBytesAsUTF8(), true),
                              9, name, juce::Time (2025, 0, 1, 0, 0));

        juce::MemoryOutputStream out;
        builder.writeToStream (out, nullptr);
        return out.getMemoryBlock();
    }

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
    const auto abandoned = InstallEngine::stagingFolderFor (folder(), vst3.bundleName, 2147483000);
    const auto live = InstallEngine::stagingFolderFor (folder(), vst3.bundleName, 1);
    const auto otherBundle = InstallEngine::stagingFolderFor (folder(), clap.bundleName, 2147483000);

    for (const auto& staging : { abandoned, live, otherBundle })
        staging.getChildFile ("Kelvara 2.vst3/partial.bin").create();

    ASSERT_FALSE (InstallEngine::isProcessAlive (2147483000));
    ASSERT_TRUE (InstallEngine::isProcessAlive (1));
    ASSERT_TRUE (InstallEngine::isProcessAlive (InstallEngine::currentProcessId()));

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
