#include "TestSupport.h"
#include "core/InstallPathSettings.h"
#include "core/WindowsLocations.h"
#include "core/ProductDefinition.h"
#include "core/TextDecoding.h"
#include "core/XmlScreen.h"

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
    // The file every installer of the maker writes with the default folders.
    const std::string defaultSettingsFile =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "\r\n"
        "<Plugin_Manager_Settings Important_Note:=\"These are the paths that all Orvanta installers "
        "will use for their respective formats. Edit them to personal taste, but keep in mind that "
        "some formats have specific homes. Use this feature at your own risk; follow the naming and "
        "separator conventions exactly as you see them, or you could end up with unintended "
        "consequences. If you delete this file, the next time you run the Plugin Manager for any OV "
        "product, a new one with the default locations will be written.\"\r\n"
        "                         CLAP_Path=\"C:\\Program Files\\Common Files\\CLAP\" "
        "VST3_Path=\"C:\\Program Files\\Common Files\\VST3\"\r\n"
        "                         AAX_Path=\"C:\\Program Files\\Common Files\\Avid\\Audio\\Plug-Ins\"/>\r\n";

    class SettingsFile : public ::testing::Test
    {
    protected:
        InstallPathSettings::Folders defaults() const
        {
            const auto base = WindowsLocations::commonFilesFolder();
            return { base.getChildFile ("VST3"), base.getChildFile ("CLAP"), base.getChildFile ("Avid/Audio/Plug-Ins") };
        }

        juce::File settingsFile() const
        {
            return InstallPathSettings::settingsFileIn (prefix.makerFolder());
        }

        InstallPathSettings::Folders resolveFrom (const juce::String& content)
        {
            prefix.makerFolder().createDirectory();
            settingsFile().replaceWithText (content);

            auto folders = defaults();
            InstallPathSettings::resolve (prefix.makerFolder(), folders);
            return folders;
        }

        ScopedWinePrefix prefix;
    };
}

TEST_F (SettingsFile, IsWrittenByteForByteWhenMissing)
{
    prefix.makerFolder().createDirectory();

    auto folders = defaults();
    InstallPathSettings::resolve (prefix.makerFolder(), folders);

    EXPECT_EQ (defaultSettingsFile.size(), 761u);
    EXPECT_EQ (readText (settingsFile()), defaultSettingsFile);
    EXPECT_EQ (folders, defaults());

    // The defaults are left for the engine to create when it unpacks.
    EXPECT_FALSE (prefix.commonFiles().exists());
}

TEST_F (SettingsFile, IsNotWrittenWithoutTheMakersFolder)
{
    auto folders = defaults();
    InstallPathSettings::resolve (prefix.makerFolder(), folders);

    EXPECT_FALSE (prefix.makerFolder().exists());
    EXPECT_EQ (folders, defaults());
}

TEST_F (SettingsFile, AFolderInTheFilesPlaceCountsAsMissing)
{
    settingsFile().createDirectory();

    auto folders = defaults();
    InstallPathSettings::resolve (prefix.makerFolder(), folders);

    EXPECT_TRUE (settingsFile().isDirectory());
    EXPECT_EQ (folders, defaults());
}

TEST_F (SettingsFile, PathsInEveryFormAreReadAndMissingFoldersCreated)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();

    const auto folders = resolveFrom ("<Other_Tag VST3_Path=\"C:\\Audio\\My VST3\" "
                                      "CLAP_Path=\"\\Audio\\Clap Plugins\\\" "
                                      "AAX_Path=\"\\\\studio-nas\\plugins\\AAX\"/>");

    EXPECT_EQ (folders[0], prefix.driveC().getChildFile ("Audio/My VST3"));
    EXPECT_EQ (folders[1], prefix.driveC().getChildFile ("Audio/Clap Plugins"));
    EXPECT_EQ (folders[2], prefix.prefix().getChildFile ("dosdevices/unc/studio-nas/plugins/AAX"));

    for (const auto& folder : folders)
        EXPECT_TRUE (folder.isDirectory()) << folder.getFullPathName();

    // Nothing was made outside the prefix.
    EXPECT_FALSE (juce::File ("/Audio").exists());
}

TEST_F (SettingsFile, APathWithNoPlaceKeepsTheDefault)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();

    const auto folders = resolveFrom ("<Plugin_Manager_Settings VST3_Path=\"\\\\?\\pipe\\vst3\" "
                                      "CLAP_Path=\"\\\\lonely-server\" AAX_Path=\"C:\\A\"/>");

    EXPECT_EQ (folders[0], defaults()[0]);
    EXPECT_EQ (folders[1], defaults()[1]);
    EXPECT_EQ (folders[2], prefix.driveC().getChildFile ("A"));
    EXPECT_FALSE (defaults()[0].exists());
    EXPECT_FALSE (prefix.prefix().getChildFile ("dosdevices").exists());
}

TEST_F (SettingsFile, APipeInTheFilesPlaceIsNeverOpened)
{
   #if JUCE_WINDOWS
    GTEST_SKIP() << "POSIX only: Windows has no named pipes in the file system";
   #else
    prefix.makerFolder().createDirectory();
    ASSERT_EQ (mkfifo (settingsFile().getFullPathName().toRawUTF8(), 0600), 0);

    // Opening a pipe to read waits for a writer; if that happens, the guard below frees it.
    auto folders = defaults();
    auto reading = std::async (std::launch::async, [&] { InstallPathSettings::resolve (prefix.makerFolder(), folders); });

    if (reading.wait_for (std::chrono::seconds (5)) != std::future_status::ready)
    {
        ADD_FAILURE() << "the settings reader blocked on a pipe";
        const auto writer = open (settingsFile().getFullPathName().toRawUTF8(), O_WRONLY | O_NONBLOCK);
        close (writer);
    }

    reading.wait();
    EXPECT_EQ (folders, defaults());

    // Left alone, like any file that cannot be read.
    struct stat info {};
    ASSERT_EQ (stat (settingsFile().getFullPathName().toRawUTF8(), &info), 0);
    EXPECT_TRUE (S_ISFIFO (info.st_mode));
   #endif
}

TEST_F (SettingsFile, AFileWithoutTheNoteIsReadAndNotRewritten)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();

    const juce::String content ("<Plugin_Manager_Settings VST3_Path=\"C:\\V\" CLAP_Path=\"C:\\C\" AAX_Path=\"C:\\A\"/>");
    const auto folders = resolveFrom (content);

    EXPECT_EQ (folders[0], prefix.driveC().getChildFile ("V"));
    EXPECT_EQ (folders[1], prefix.driveC().getChildFile ("C"));
    EXPECT_EQ (folders[2], prefix.driveC().getChildFile ("A"));
    EXPECT_EQ (readText (settingsFile()), content.toStdString());
}

TEST_F (SettingsFile, AbsentOrEmptyPathsKeepTheDefault)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();

    const auto folders = resolveFrom ("<Plugin_Manager_Settings VST3_Path=\"\" AAX_Path=\"   \" CLAP_Path=\"C:\\C\"/>");

    EXPECT_EQ (folders[0], defaults()[0]);
    EXPECT_EQ (folders[1], prefix.driveC().getChildFile ("C"));
    EXPECT_EQ (folders[2], defaults()[2]);

    EXPECT_FALSE (defaults()[0].exists());
}

TEST_F (SettingsFile, MalformedXmlLeavesDefaultsAndTheFileAlone)
{
    const juce::String content ("<Plugin_Manager_Settings VST3_Path=\"C:\\V");
    const auto folders = resolveFrom (content);

    EXPECT_EQ (folders, defaults());
    EXPECT_EQ (readText (settingsFile()), content.toStdString());
    EXPECT_FALSE (prefix.driveC().getChildFile ("V").exists());
}

// Each of these made the framework's parser loop for ever, read past the end of the text or,
// nested 50,000 deep, overflow the stack.
TEST_F (SettingsFile, WhatTheParserMishandlesLeavesDefaultsAndTheFileAlone)
{
    const auto deep = "<Plugin_Manager_Settings VST3_Path=\"C:\\V\">" + juce::String::repeatedString ("<a>", 50000)
                    + juce::String::repeatedString ("</a>", 50000) + "</Plugin_Manager_Settings>";

    for (const auto& content : { juce::String ("<!DOCTYPE a [<!ENTITY e \"ab;&\">]><Plugin_Manager_Settings VST3_Path=\"&e;\"/>"),
                                        juce::String ("<Plugin_Manager_Settings VST3_Path=\"C:\\V\"><?note?>x</Plugin_Manager_Settings>"),
                                        juce::String ("<?xml version=\"1.0\"?><Plugin_Manager_Settings VST3_Path=\"C:\\V\">&<P>&#x;</Plugin_Manager_Settings>"),
                                        juce::String ("<-> <?note?>VST3_Path=\"C:\\V\"><![CDATA[ <Plugin_Manager_Settings> "),
                                        deep })
    {
        const auto folders = resolveFrom (content);

        EXPECT_EQ (folders, defaults()) << content;
        EXPECT_EQ (readText (settingsFile()), content.toStdString());
        EXPECT_FALSE (prefix.driveC().getChildFile ("V").exists()) << content;
    }
}

TEST_F (SettingsFile, ProcessingInstructionsAndCommentsBeforeTheElementAreRead)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();

    const auto folders = resolveFrom ("<?xml version=\"1.0\"?>\n<!-- written by hand -->\n<?editor keep?>\n"
                                      "<Plugin_Manager_Settings VST3_Path=\"C:\\Audio\\V\"/>");

    EXPECT_EQ (folders[0], prefix.driveC().getChildFile ("Audio/V"));
}

TEST_F (SettingsFile, EverythingAHandEditedFileMayHoldIsRead)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();

    const auto folders = resolveFrom (juce::String::fromUTF8 ("\xef\xbb\xbf<?xml version='1.0'?>\r\n<Plugin_Manager_Settings\tVST3_Path = 'C:\\A &amp; B\\&#x56;&#51;'\r\n"
                                      "  CLAP_Path=\"C:\\&quot;&lt;&gt;&apos;\">\n<!-- old: C:\\X -->\n<![CDATA[ <a> & ]]>"
                                      "<Paths Old=\"C:\\Y\"/>text</Plugin_Manager_Settings >\n<!-- end -->\n"));

    EXPECT_EQ (folders[0], prefix.driveC().getChildFile ("A & B/V3"));
    EXPECT_EQ (folders[1], prefix.driveC().getChildFile ("\"<>'"));
}

// Too large a file is not read at all, however plain its element.
TEST_F (SettingsFile, AFileOfOverAMegabyteLeavesTheDefaults)
{
    const auto folders = resolveFrom ("<Plugin_Manager_Settings VST3_Path=\"C:\\V\"/>" + juce::String::repeatedString (" ", 1 << 20));

    EXPECT_EQ (folders, defaults());
    EXPECT_FALSE (prefix.driveC().getChildFile ("V").exists());
}

TEST_F (SettingsFile, WrittenFileReadsBackAsTheSameFolders)
{
    prefix.makerFolder().createDirectory();

    auto custom = InstallPathSettings::Folders { prefix.driveC().getChildFile ("a & b/VST3"),
                                                 prefix.driveC().getChildFile ("Audio/clap \"x\" <&>"),
                                                 prefix.commonFiles().getChildFile ("Avid/Audio/Plug-Ins") };
    const auto written = custom;
    InstallPathSettings::resolve (prefix.makerFolder(), custom);

    auto readBack = defaults();
    InstallPathSettings::resolve (prefix.makerFolder(), readBack);
    EXPECT_EQ (readBack, written);
}

TEST_F (SettingsFile, AFileThatIsNotUtf8IsLeftAloneAndTheDefaultsServe)
{
    prefix.makerFolder().createDirectory();

    // A path typed in a legacy code page: "Ü" as the single byte 0xdc.
    const char legacy[] = "<Plugin_Manager_Settings VST3_Path=\"C:\\Pl\xdcgins\" CLAP_Path=\"//nas/\xc8share/x\" AAX_Path=\"C:\\A\"/>";
    ASSERT_TRUE (settingsFile().replaceWithData (legacy, sizeof (legacy) - 1));

    auto folders = defaults();
    InstallPathSettings::resolve (prefix.makerFolder(), folders);

    EXPECT_EQ (folders, defaults());
    EXPECT_FALSE (prefix.driveC().getChildFile ("A").exists());
    EXPECT_EQ (readBytes (settingsFile()), juce::MemoryBlock (legacy, sizeof (legacy) - 1));
}

TEST_F (SettingsFile, ByteOrderMarksOfUtf8AndUtf16AreRead)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();

    prefix.makerFolder().createDirectory();
    const auto content = juce::String::fromUTF8 ("<Plugin_Manager_Settings VST3_Path=\"C:\\Pl\xc3\x9cgins\"/>");

    juce::MemoryOutputStream utf8;
    utf8.write ("\xef\xbb\xbf", 3);
    utf8 << content;

    // As Windows' Notepad saves "Unicode": little-endian UTF-16 after its mark.
    juce::MemoryOutputStream utf16;
    utf16.write ("\xff\xfe", 2);
    for (auto c : content)
        utf16.writeShort ((short) c);

    for (const auto* bytes : { &utf8, &utf16 })
    {
        ASSERT_TRUE (settingsFile().replaceWithData (bytes->getData(), bytes->getDataSize()));
        auto folders = defaults();
        InstallPathSettings::resolve (prefix.makerFolder(), folders);
        EXPECT_EQ (folders[0], prefix.driveC().getChildFile (juce::CharPointer_UTF8 ("Pl\xc3\x9cgins")));
    }
}

TEST (SettingsText, OnlyWellFormedUtf8IsText)
{
    const std::pair<const char*, bool> cases[] {
        { "plain ASCII", true },
        { "\xc3\xa9", true },                  // e acute
        { "\xf0\x9f\x8e\xb9", true },          // U+1F3B9, four bytes
        { "\xef\xbb\xbf" "text", true },       // a byte order mark is a character like any other
        { "\xc0\xaf", false },                 // "/" in two bytes: overlong
        { "\xe0\x80\xaf", false },             // "/" in three bytes: overlong
        { "\xed\xa0\x80", false },             // a UTF-16 surrogate
        { "\xf4\x90\x80\x80", false },         // above U+10FFFF
        { "\xe2\x82", false },                 // cut short
        { "\x80", false },                     // a continuation with no lead
        { "a\xdc" "b", false },                // Latin-1
    };

    for (const auto& [text, wellFormed] : cases)
        EXPECT_EQ (TextDecoding::isWellFormedUtf8 (text, strlen (text)), wellFormed) << juce::String::toHexString (text, (int) strlen (text));

    EXPECT_FALSE (TextDecoding::isWellFormedUtf8 ("a\0b", 3));
    EXPECT_FALSE (TextDecoding::decode ("a\xdc", 2).has_value());
    EXPECT_EQ (TextDecoding::decode ("", 0), juce::String());
}

// The screen's own edges: what a lenient parser would have read, and what XML allows.
TEST (XmlScreen, TakesWellFormedXmlOnlyAndNoDeeperThanItsLimit)
{
    const auto nested = [] (int depth) { return juce::String::repeatedString ("<a>", depth) + juce::String::repeatedString ("</a>", depth); };

    for (const char* plain : { "<a/>", "<a b='1' c=\"2\"/>", "<?xml version=\"1.0\"?><a/>", "<!----><?p x?><a/><!-- -->\n",
                               "<a>&#9;&#x10FFFF;&#65;&amp;</a>", "<a><![CDATA[<&]]>x<b/></a >", "<x:a-b.c_1/>" })
        EXPECT_TRUE (XmlScreen::isPlainDocument (plain)) << plain;

    for (const char* refused : { "", "text", "<a>", "<a></b>", "<a></ab>", "<a/><b/>", "<a/>x", "<a b=1/>", "<a b='1'c='2'/>",
                                 "<a b='<'/>", "<a b='&'/>", "<a>&#0;</a>", "<a>&#1;</a>", "<a>&#xD800;</a>", "<a>&#x110000;</a>", "<a>&#99999999999;</a>",
                                 "<a>&nbsp;</a>", "<a>&#x;</a>", "<!-- a -- b --><a/>", "<!-- a <a/>", "<a><![CDATA[x</a>",
                                 "<a><?p?></a>", "<!DOCTYPE a><a/>", "<1a/>", "< a/>", "<?p<a/>" })
        EXPECT_FALSE (XmlScreen::isPlainDocument (refused)) << refused;

    EXPECT_TRUE (XmlScreen::isPlainDocument (nested (XmlScreen::maximumDepth)));
    EXPECT_FALSE (XmlScreen::isPlainDocument (nested (XmlScreen::maximumDepth + 1)));
}
