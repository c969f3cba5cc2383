#include "TestSupport.h"
#include "core/KeptCopy.h"
#include "core/ModuleVersionReader.h"
#include "core/UninstallEntry.h"

namespace
{
    const juce::File modules (OV_TEST_DATA_DIR "/modules");

    struct TemporaryFolder
    {
        TemporaryFolder()   { folder.getFile().createDirectory(); }
        ~TemporaryFolder()  { folder.getFile().deleteRecursively(); }

        juce::File get() const  { return folder.getFile(); }

        juce::TemporaryFile folder { juce::String(), juce::TemporaryFile::useHiddenFile };
    };
}

//==============================================================================
TEST (KeptCopy, IsWrittenWhereNoneIsAndLeavesNoTemporaryFileBehind)
{
    TemporaryFolder temporary;
    const auto source = modules.getChildFile ("version_2.4.2.9.dll");
    const auto target = temporary.get().getChildFile ("Orvanta/Kelvara 2/ov_installer.exe");

    ASSERT_TRUE (KeptCopy::refresh (source, target).wasOk());
    EXPECT_EQ (readBytes (target), readBytes (source));
    EXPECT_FALSE (KeptCopy::temporaryFor (target).exists());
    EXPECT_EQ (target.getParentDirectory().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1);

    // Running from the copy itself changes nothing.
    EXPECT_TRUE (KeptCopy::refresh (target, target).wasOk());
    EXPECT_EQ (readBytes (target), readBytes (source));
}

TEST (KeptCopy, ANewerReleaseReplacesAnOlderOneButNeverTheOtherWayRound)
{
    TemporaryFolder temporary;
    const auto older = modules.getChildFile ("version_2.4.2.9.dll");
    const auto newer = modules.getChildFile ("version_2.5.0.0.dll");
    const auto target = temporary.get().getChildFile ("ov_installer.exe");

    ASSERT_TRUE (older.copyFileTo (target));
    ASSERT_TRUE (KeptCopy::refresh (newer, target).wasOk());
    EXPECT_EQ (ModuleVersionReader::readFileVersion (target), "2.5.0.0");
    EXPECT_EQ (readBytes (target), readBytes (newer));

    ASSERT_TRUE (KeptCopy::refresh (older, target).wasOk());
    EXPECT_EQ (readBytes (target), readBytes (newer));

    // A copy without a readable version is no release to keep.
    ASSERT_TRUE (target.replaceWithText ("damaged"));
    ASSERT_TRUE (KeptCopy::refresh (older, target).wasOk());
    EXPECT_EQ (readBytes (target), readBytes (older));
}

TEST (KeptCopy, RetiringItRemovesItsFolderAndTheMakersOnlyWhenNothingElseIsThere)
{
    TemporaryFolder temporary;
    const auto maker = temporary.get().getChildFile ("Orvanta");
    const auto copy = maker.getChildFile ("Kelvara 2/ov_installer.exe");

    ASSERT_TRUE (KeptCopy::refresh (modules.getChildFile ("version_2.4.2.9.dll"), copy).wasOk());
    ASSERT_TRUE (copy.getSiblingFile (".ov_installer.exe.new-1").replaceWithText ("half-written"));
    ASSERT_TRUE (maker.getChildFile ("Another Product").createDirectory().wasOk());
    EXPECT_TRUE (KeptCopy::retire (copy, false).wasOk());
    EXPECT_FALSE (copy.getParentDirectory().exists());
    EXPECT_TRUE (maker.getChildFile ("Another Product").isDirectory());

    ASSERT_TRUE (maker.getChildFile ("Another Product").deleteFile());
    ASSERT_TRUE (KeptCopy::refresh (modules.getChildFile ("version_2.4.2.9.dll"), copy).wasOk());
    EXPECT_TRUE (KeptCopy::retire (copy, false).wasOk());
    EXPECT_FALSE (maker.exists());
    EXPECT_TRUE (temporary.get().isDirectory());
}

//==============================================================================
TEST (UninstallEntry, HoldsTheProductTheKeptCopyAndTheSizeInKibibytes)
{
    const auto values = UninstallEntry::valuesFor (97 * 1024 + 1, juce::Time (2026, 0, 5, 12, 0));

    EXPECT_EQ (values.displayName, "Kelvara 2");
    EXPECT_EQ (values.displayVersion, "2.4.3");
    EXPECT_EQ (values.publisher, "Orvanta");
    EXPECT_EQ (values.installDate, "20260105");
    EXPECT_EQ (values.estimatedSizeKiB, 98u);
    EXPECT_EQ (values.displayIcon, "C:\\Program Files\\Orvanta\\Kelvara 2\\ov_installer.exe");
    EXPECT_EQ (values.uninstallString, "\"C:\\Program Files\\Orvanta\\Kelvara 2\\ov_installer.exe\" uninstall all");
    EXPECT_EQ (values.quietUninstallString, values.uninstallString);
    EXPECT_EQ (values.urlInfoAbout, ProductDefinition::productPageAddress);
    EXPECT_EQ (values.helpLink, ProductDefinition::manualAddress);
    EXPECT_TRUE (values.noModify);
    EXPECT_TRUE (values.noRepair);
    EXPECT_EQ (UninstallEntry::keyPath(), "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvanta Kelvara 2");
}

TEST (UninstallEntry, TheSizeIsTheUnpackedSizeOfTheBundlesStatusDetectionFinds)
{
    TemporaryFolder temporary;
    const InstallRun::Folders folders { temporary.get().getChildFile ("VST3"), temporary.get().getChildFile ("CLAP"),
                                        temporary.get().getChildFile ("AAX") };

    // What the framework's own zip reader says the archives unpack to.
    const auto unpackedSize = [] (int formatIndex)
    {
        const auto payload = InstallRun::payloadFor (formatIndex);
        juce::MemoryInputStream stream (payload.data, payload.size, false);
        juce::ZipFile zip (stream);
        juce::int64 bytes = 0;

        for (int i = 0; i < zip.getNumEntries(); ++i)
            bytes += zip.getEntry (i)->uncompressedSize;

        return bytes;
    };

    EXPECT_EQ (UninstallEntry::installedBytes (folders, "Kelvara 2"), -1);

    ASSERT_TRUE (folders[0].getChildFile ("Kelvara 2.vst3").createDirectory().wasOk());
    ASSERT_TRUE (folders[2].createDirectory().wasOk());
    // Beside the bundles, such as another product's, is not this product.
    ASSERT_TRUE (folders[2].getChildFile ("Other.aaxplugin").createDirectory().wasOk());
    EXPECT_EQ (UninstallEntry::installedBytes (folders, "Kelvara 2"), unpackedSize (ProductDefinition::vst3));

    ASSERT_TRUE (folders[1].createDirectory().wasOk());
    ASSERT_TRUE (folders[1].getChildFile ("Kelvara 2.clap").replaceWithText ("y"));
    EXPECT_EQ (UninstallEntry::installedBytes (folders, "Kelvara 2"),
               unpackedSize (ProductDefinition::vst3) + unpackedSize (ProductDefinition::clap));
    EXPECT_GT (unpackedSize (ProductDefinition::clap), 1000);
}

TEST (UninstallEntry, IsWrittenInTheSixtyFourBitViewAndRemovedWhole)
{
   #if JUCE_WINDOWS
    using Registry = juce::WindowsRegistry;
    const auto key = UninstallEntry::keyPath();

    ASSERT_TRUE (UninstallEntry::write (UninstallEntry::valuesFor (5000, juce::Time (2026, 11, 11, 9, 0))).wasOk());
    EXPECT_EQ (Registry::getValue (key + "\\DisplayName", {}, Registry::WoW64_64bit), "Kelvara 2");
    EXPECT_EQ (Registry::getValue (key + "\\InstallDate", {}, Registry::WoW64_64bit), "20261211");
    EXPECT_EQ (Registry::getValue (key + "\\EstimatedSize", {}, Registry::WoW64_64bit), "5");
    EXPECT_EQ (Registry::getValue (key + "\\NoRepair", {}, Registry::WoW64_64bit), "1");
    EXPECT_EQ (Registry::getValue (key + "\\QuietUninstallString", {}, Registry::WoW64_64bit),
               ProductDefinition::uninstallCommand());

    ASSERT_TRUE (UninstallEntry::remove().wasOk());
    EXPECT_FALSE (Registry::keyExists (key, Registry::WoW64_64bit));
    EXPECT_TRUE (UninstallEntry::remove().wasOk());
   #else
    // A Wine prefix's registry belongs to Wine: the Linux build never writes one.
    EXPECT_TRUE (UninstallEntry::write (UninstallEntry::valuesFor (5000, juce::Time::getCurrentTime())).failed());
    EXPECT_TRUE (UninstallEntry::refresh ({}, "Kelvara 2").isEmpty());
   #endif
}
