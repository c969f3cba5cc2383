#include "TestSupport.h"
#include "core/ProductDefinition.h"

using namespace ProductDefinition;

TEST (NameLists, AreOneVocabularyWithTheComponentNames)
{
    EXPECT_EQ (extrasNames, juce::StringArray ({ "EULA", "MANUAL", "WEBSITE", "SUPPORT", "CHANGES" }));
    EXPECT_EQ (formatExtensions, juce::StringArray ({ ".vst3", ".clap", ".aaxplugin" }));

    ASSERT_EQ (formatNames.size(), 5);
    EXPECT_EQ (formatNames[vst3], "VST3");
    EXPECT_EQ (formatNames[clap], "CLAP");
    EXPECT_EQ (formatNames[aax],  "AAX");
    EXPECT_EQ (formatNames[3], "AudioUnit V2");
    EXPECT_EQ (formatNames[4], "AudioUnit V3");

    // Past the end a list reads as empty rather than failing.
    EXPECT_TRUE (formatExtensions[3].isEmpty());
    EXPECT_TRUE (extrasNames[5].isEmpty());
}

TEST (ProductName, OnlyTheFirstUnderscoreBecomesASpace)
{
    EXPECT_EQ (displayProductName (rawProductName), "Kelvara 2");
    EXPECT_EQ (displayProductName ("Kelvara_2"), "Kelvara 2");
    EXPECT_EQ (displayProductName ("Kel_vara_2"), "Kel vara_2");
    EXPECT_EQ (displayProductName ("_x"), " x");
}

TEST (Bundles, AreNamedAfterTheProductAndFormat)
{
    OV_SKIP_ON_WINDOWS ("the expected paths are written in POSIX form");

    const juce::File folder ("/tmp/plugins");

    EXPECT_EQ (bundleFor (folder, "Kelvara 2", vst3).getFullPathName(), "/tmp/plugins/Kelvara 2.vst3");
    EXPECT_EQ (bundleFor (folder, "Kelvara 2", clap).getFullPathName(), "/tmp/plugins/Kelvara 2.clap");
    EXPECT_EQ (bundleFor (folder, "Kelvara 2", aax).getFullPathName(),  "/tmp/plugins/Kelvara 2.aaxplugin");

    // A product name with an underscore names its bundles with the space as well.
    EXPECT_EQ (bundleFor (folder, displayProductName ("Kel_vara"), clap).getFileName(), "Kel vara.clap");
}

TEST (Bundles, VersionFileLiesWhereEachFormatKeepsItsModule)
{
    OV_SKIP_ON_WINDOWS ("the expected paths are written in POSIX form");

    const juce::File vst3Bundle ("/p/Kelvara 2.vst3");
    const juce::File clapBundle ("/p/Kelvara 2.clap");
    const juce::File aaxBundle  ("/p/Kelvara 2.aaxplugin");

    EXPECT_EQ (versionFileFor (vst3Bundle, "Kelvara 2", vst3).getFullPathName(),
               "/p/Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3");
    EXPECT_EQ (versionFileFor (clapBundle, "Kelvara 2", clap), clapBundle);
    EXPECT_EQ (versionFileFor (aaxBundle, "Kelvara 2", aax).getFullPathName(),
               "/p/Kelvara 2.aaxplugin/Contents/x64/Kelvara 2.aaxplugin");
}

TEST (DefaultFolders, AreChildrenOfTheCommonFilesFolder)
{
    EXPECT_EQ (defaultInstallFolderChild (vst3), "VST3");
    EXPECT_EQ (defaultInstallFolderChild (clap), "CLAP");
    EXPECT_EQ (defaultInstallFolderChild (aax),  "Avid/Audio/Plug-Ins");
    EXPECT_STREQ (commonFilesPath, "C:/Program Files/Common Files");
}

TEST (Links, ManualHasItsFixedPathAndBothAreWebAddresses)
{
    const juce::URL manual (manualAddress);
    const juce::URL page (productPageAddress);

    EXPECT_TRUE (manual.isWellFormed());
    EXPECT_TRUE (page.isWellFormed());
    EXPECT_EQ (manual.getSubPath(), "manuals/Kelvara_2_Manual.pdf");
    EXPECT_TRUE (manual.getScheme() == "https" && page.getScheme() == "https");
}

TEST (LicenceText, IsElevenAsciiParagraphsOnEighteenLines)
{
    ASSERT_TRUE (eulaText.isNotEmpty());
    EXPECT_FALSE (eulaText.containsChar ('\r'));
    EXPECT_FALSE (eulaText.endsWithChar ('\n'));

    for (auto p = eulaText.getCharPointer(); ! p.isEmpty(); ++p)
        ASSERT_TRUE (*p == '\n' || (*p >= 32 && *p < 127)) << "character " << (int) *p;

    juce::StringArray lines;
    lines.addTokens (eulaText, "\n", {});
    ASSERT_EQ (lines.size(), 18);

    int emptyLines = 0;
    for (const auto& line : lines)
        if (line.isEmpty())
            ++emptyLines;

    EXPECT_EQ (emptyLines, 7);
    EXPECT_EQ (lines.size() - emptyLines, 11);

    EXPECT_EQ (lines[0], lines[0].toUpperCase());
    EXPECT_TRUE (lines[0].contains ("INSTALL"));
    EXPECT_NEAR (eulaText.length(), 4785, 150);
}
