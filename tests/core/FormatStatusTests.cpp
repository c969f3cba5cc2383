#include "TestSupport.h"
#include "core/FormatStatus.h"
#include "core/InstallEngine.h"
#include "core/ProductDefinition.h"

#include <PayloadArchives.h>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
    const juce::String product ("Kelvara 2");
    const juce::String version ("2.4.3");

    class Status : public ::testing::Test
    {
    protected:
        juce::File folder() const    { return temp.getFile(); }

        FormatStatus detect (int formatIndex) const
        {
            return FormatStatus::detect (folder(), product, version, formatIndex);
        }

        void installRealPayloads() const
        {
            const std::pair<const char*, int> archives[] { { PayloadArchives::vst3_zip, PayloadArchives::vst3_zipSize },
                                                           { PayloadArchives::clap_zip, PayloadArchives::clap_zipSize },
                                                           { PayloadArchives::aax_zip,  PayloadArchives::aax_zipSize } };

            for (int i = 0; i < 3; ++i)
                ASSERT_TRUE (InstallEngine::install (i, folder(), product + formatExtensions[i],
                                                     archives[i].first, (size_t) archives[i].second).succeeded);
        }

        juce::TemporaryFile temp { juce::String(), juce::TemporaryFile::useHiddenFile };

        void SetUp() override       { folder().createDirectory(); }
        void TearDown() override    { folder().deleteRecursively(); }
    };
}

TEST (VersionComparison, NumbersCompareAsNumbersAndTheFourthPartOutranksNone)
{
    EXPECT_FALSE (FormatStatus::isOlder ("2.4.3.0", "2.4.3"));     // the same release, written with four parts
    EXPECT_FALSE (FormatStatus::isOlder ("2.4.3", "2.4.3"));
    EXPECT_FALSE (FormatStatus::isOlder ("2.4.10.0", "2.4.3"));    // numerically newer
    EXPECT_FALSE (FormatStatus::isOlder ("2.5.0.0", "2.4.3"));
    EXPECT_FALSE (FormatStatus::isOlder ("10.0.0.0", "2.4.3"));
    EXPECT_TRUE  (FormatStatus::isOlder ("2.4.2.9", "2.4.3"));
    EXPECT_TRUE  (FormatStatus::isOlder ("2.4.2", "2.4.3"));
    EXPECT_TRUE  (FormatStatus::isOlder ("0.0.0.0", "2.4.3"));
    EXPECT_TRUE  (FormatStatus::isOlder ("1.99.99.99", "2.4.3"));
}

TEST (VersionComparison, ReleasesCompareNumberByNumberWithMissingNumbersAsZero)
{
    EXPECT_EQ (FormatStatus::compareReleases ("2.4.3.0", "2.4.3"), 0);
    EXPECT_EQ (FormatStatus::compareReleases ("2.4.3", "2.4.3.0"), 0);
    EXPECT_EQ (FormatStatus::compareReleases ("2.4.10.0", "2.4.3"), 1);
    EXPECT_EQ (FormatStatus::compareReleases ("2.4.3.1", "2.4.3"), 1);
    EXPECT_EQ (FormatStatus::compareReleases ("2.4.2.9", "2.4.3"), -1);
    EXPECT_EQ (FormatStatus::compareReleases ("65535.65535.65535.65535", "2.4.3"), 1);
}

TEST (StatusText, NamesEachOutcome)
{
    EXPECT_EQ ((FormatStatus {}).getStatusText(), "NOT INSTALLED");
    EXPECT_EQ ((FormatStatus { true, "2.4.3.0", false }).getStatusText(), "v2.4.3.0 INSTALLED");
    EXPECT_EQ ((FormatStatus { true, {}, false }).getStatusText(), "INSTALLED");
    EXPECT_EQ ((FormatStatus { true, "2.4.2.0", true }).getStatusText(), "v2.4.2.0 NEEDS UPDATE");
}

TEST_F (Status, FreshlyInstalledPayloadsReadAsTheCurrentRelease)
{
    installRealPayloads();

    EXPECT_EQ (detect (ProductDefinition::vst3).getStatusText(), "v2.4.3.0 INSTALLED");
    EXPECT_EQ (detect (ProductDefinition::aax).getStatusText(), "v2.4.3.0 INSTALLED");

    // The CLAP module carries no version resource.
    const auto clap = detect (ProductDefinition::clap);
    EXPECT_TRUE (clap.installed);
    EXPECT_TRUE (clap.installedVersion.isEmpty());
    EXPECT_EQ (clap.getStatusText(), "INSTALLED");
}

TEST_F (Status, ABundleWithoutItsModuleOrOfTheWrongKindShowsInstalledWithoutVersion)
{
    // A VST3 bundle folder without the inner module
    folder().getChildFile ("Kelvara 2.vst3/Contents").createDirectory();
    // An AAX bundle that is a plain file
    folder().getChildFile ("Kelvara 2.aaxplugin").replaceWithText ("not a folder");
    // A CLAP bundle that is a folder
    folder().getChildFile ("Kelvara 2.clap").createDirectory();

    for (const auto format : { ProductDefinition::vst3, ProductDefinition::clap, ProductDefinition::aax })
    {
        const auto status = detect (format);
        EXPECT_TRUE (status.installed) << format;
        EXPECT_FALSE (status.needsUpdate) << format;
        EXPECT_EQ (status.getStatusText(), "INSTALLED") << format;
    }

    // A folder where the module should be
    folder().getChildFile ("Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3").createDirectory();
    EXPECT_EQ (detect (ProductDefinition::vst3).getStatusText(), "INSTALLED");
}

TEST_F (Status, MissingFoldersAndBundlesShowNotInstalled)
{
    EXPECT_EQ (detect (ProductDefinition::vst3).getStatusText(), "NOT INSTALLED");
    EXPECT_EQ (FormatStatus::detect (folder().getChildFile ("no/such/folder"), product, version, ProductDefinition::aax).getStatusText(),
               "NOT INSTALLED");

    // Deleting a bundle shows at the next detection: nothing is cached.
    installRealPayloads();
    EXPECT_TRUE (detect (ProductDefinition::clap).installed);
    folder().getChildFile ("Kelvara 2.clap").deleteFile();
    EXPECT_FALSE (detect (ProductDefinition::clap).installed);
}

TEST_F (Status, ModulesOfOtherReleasesAreJudgedByTheirVersion)
{
    const juce::File modules (OV_TEST_DATA_DIR "/modules");
    const struct { const char* file; const char* text; } cases[] {
        { "version_2.4.2.9.dll",  "v2.4.2.9 NEEDS UPDATE" },
        { "version_0.0.0.0.dll",  "v0.0.0.0 NEEDS UPDATE" },
        { "version_2.4.10.0.dll", "v2.4.10.0 INSTALLED" },
        { "version_2.5.0.0.dll",  "v2.5.0.0 INSTALLED" },
        { "no_version.dll",       "INSTALLED" }
    };

    const auto vst3Module = folder().getChildFile ("Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3");
    const auto aaxModule  = folder().getChildFile ("Kelvara 2.aaxplugin/Contents/x64/Kelvara 2.aaxplugin");
    const auto clapModule = folder().getChildFile ("Kelvara 2.clap");
    vst3Module.getParentDirectory().createDirectory();
    aaxModule.getParentDirectory().createDirectory();

    for (const auto& c : cases)
    {
        for (const auto& [module, format] : { std::pair (vst3Module, (int) ProductDefinition::vst3),
                                              std::pair (clapModule, (int) ProductDefinition::clap),
                                              std::pair (aaxModule,  (int) ProductDefinition::aax) })
        {
            ASSERT_TRUE (modules.getChildFile (c.file).copyFileTo (module)) << c.file;
            const auto status = detect (format);
            EXPECT_EQ (status.getStatusText(), c.text) << c.file << " as " << formatNames[format];
            EXPECT_EQ (status.needsUpdate, juce::String (c.text).endsWith ("NEEDS UPDATE"));
        }
    }
}

TEST_F (Status, APipeWhereTheModuleShouldBeReadsAsNoVersionWithoutBlocking)
{
   #if JUCE_WINDOWS
    GTEST_SKIP() << "POSIX only: Windows has no named pipes in the file system";
   #else
    const char* modulePaths[] { "Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3",
                                "Kelvara 2.clap",
                                "Kelvara 2.aaxplugin/Contents/x64/Kelvara 2.aaxplugin" };

    for (int formatIndex = 0; formatIndex < 3; ++formatIndex)
    {
        const auto pipe = folder().getChildFile (modulePaths[formatIndex]);
        pipe.getParentDirectory().createDirectory();
        ASSERT_EQ (mkfifo (pipe.getFullPathName().toRawUTF8(), 0600), 0);

        auto detecting = std::async (std::launch::async, [this, formatIndex] { return detect (formatIndex); });

        if (detecting.wait_for (std::chrono::seconds (5)) != std::future_status::ready)
        {
            // Opening a pipe to read waits for a writer: be that writer, so the test can end.
            ADD_FAILURE() << "detection blocked on a pipe for " << formatNames[formatIndex];
            close (open (pipe.getFullPathName().toRawUTF8(), O_WRONLY | O_NONBLOCK));
        }

        const auto status = detecting.get();
        EXPECT_TRUE (status.installed) << formatNames[formatIndex];
        EXPECT_EQ (status.getStatusText(), "INSTALLED") << formatNames[formatIndex];
    }
   #endif
}
