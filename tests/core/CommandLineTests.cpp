#include "TestSupport.h"
#include "core/CommandLine.h"
#include "core/CommandLineReport.h"
#include "core/InstallRun.h"

namespace
{
    using Command = CommandLine::Command;
    using Selection = InstallRun::Selection;

    CommandLine::Request parse (std::initializer_list<const char*> arguments)
    {
        juce::StringArray array;

        for (const auto* argument : arguments)
            array.add (argument);

        return CommandLine::parse (array);
    }

    /** What one run printed, and the code it returned. */
    struct Captured
    {
        juce::String standardOutput, standardError;
        int exitCode = -1;
    };

    Captured runCaptured (const CommandLine::Request& request, bool errorIsTerminal = false)
    {
        Captured captured;
        CommandLine::Output output;
        output.standardOutput  = [&] (const juce::String& text) { captured.standardOutput << text; };
        output.standardError   = [&] (const juce::String& text) { captured.standardError << text; };
        output.errorIsTerminal = errorIsTerminal;
        captured.exitCode = CommandLine::run (request, output);
        return captured;
    }

    juce::File bundleIn (const ScopedWinePrefix& prefix, const char* folder, const char* extension)
    {
        return prefix.commonFiles().getChildFile (folder).getChildFile (juce::String ("Kelvara 2") + extension);
    }
}

//==============================================================================
TEST (CommandLineParsing, NoArgumentsAndNonCommandsOpenTheWindow)
{
    EXPECT_EQ (parse ({}).command, Command::openWindow);
    EXPECT_EQ (parse ({ "readme.txt" }).command, Command::openWindow);
    EXPECT_EQ (parse ({ "" }).command, Command::openWindow);
    EXPECT_EQ (parse ({ "Status" }).command, Command::openWindow);        // commands are lower case
    EXPECT_EQ (parse ({ "something", "install", "vst3" }).command, Command::openWindow);
}

TEST (CommandLineParsing, HelpAndVersion)
{
    EXPECT_EQ (parse ({ "--help" }).command, Command::help);
    EXPECT_EQ (parse ({ "-h" }).command, Command::help);
    EXPECT_EQ (parse ({ "install", "vst3", "-h" }).command, Command::help);
    EXPECT_EQ (parse ({ "--version" }).command, Command::version);
    EXPECT_EQ (parse ({ "--version", "--help" }).command, Command::help);
}

TEST (CommandLineParsing, FormatsInAnyCaseAreMergedAndAllMeansEveryFormat)
{
    const auto request = parse ({ "install", "AAX", "vst3", "Vst3", "aAx" });
    EXPECT_EQ (request.command, Command::install);
    EXPECT_EQ (request.formats, (Selection { true, false, true }));
    EXPECT_FALSE (request.json);

    EXPECT_EQ (parse ({ "uninstall", "clap" }).formats, (Selection { false, true, false }));
    EXPECT_EQ (parse ({ "uninstall", "clap" }).command, Command::uninstall);
    EXPECT_EQ (parse ({ "install", "ALL" }).formats, (Selection { true, true, true }));
    EXPECT_EQ (parse ({ "install", "clap", "all", "clap" }).formats, (Selection { true, true, true }));
}

TEST (CommandLineParsing, JsonMayStandAnywhereAfterTheProgramName)
{
    EXPECT_TRUE (parse ({ "status", "--json" }).json);
    EXPECT_TRUE (parse ({ "--json", "status" }).json);
    EXPECT_EQ (parse ({ "--json", "status" }).command, Command::status);

    const auto request = parse ({ "install", "--json", "clap" });
    EXPECT_EQ (request.command, Command::install);
    EXPECT_TRUE (request.json);
    EXPECT_EQ (request.formats, (Selection { false, true, false }));
}

TEST (CommandLineParsing, UsageErrorsNameWhatIsWrong)
{
    const std::vector<std::pair<std::vector<const char*>, const char*>> cases
    {
        { { "--frobnicate" },                  "--frobnicate" },
        { { "-S" },                            "-S" },
        { { "-" },                             "'-'" },
        { { "status", "--quiet" },             "--quiet" },
        { { "install", "vst3", "--force" },    "--force" },
        { { "readme.txt", "-x" },              "-x" },
        { { "install" },                       "needs at least one format" },
        { { "uninstall", "--json" },           "needs at least one format" },
        { { "install", "vst2" },               "vst2" },
        { { "install", "clap", "au" },         "'au'" },
        { { "uninstall", "" },                 "''" },
        { { "status", "vst3" },                "vst3" },
        { { "--json" },                        "--json" },
        { { "readme.txt", "--json" },          "--json" },
    };

    for (const auto& [arguments, named] : cases)
    {
        juce::StringArray array;

        for (const auto* argument : arguments)
            array.add (argument);

        const auto request = CommandLine::parse (array);
        EXPECT_EQ (request.command, Command::usageError) << array.joinIntoString (" ");
        EXPECT_TRUE (request.problem.contains (named)) << array.joinIntoString (" ") << " -> " << request.problem;
        EXPECT_FALSE (request.problem.containsAnyOf ("\r\n")) << request.problem;
    }
}

TEST (CommandLineParsing, OtherInstallersSilentSwitchesAreUsageErrorsPointingToInstallAll)
{
    for (const auto* argument : { "/S", "/s", "/SILENT", "/VerySilent", "/SUPPRESSMSGBOXES", "/quiet", "/Q", "/qn", "/Passive" })
    {
        for (const auto& arguments : { juce::StringArray { argument }, juce::StringArray { "install", "all", argument } })
        {
            const auto request = CommandLine::parse (arguments);
            EXPECT_EQ (request.command, Command::usageError) << argument;
            EXPECT_TRUE (request.problem.contains ("'ov_installer install all'")) << request.problem;
        }
    }

    EXPECT_EQ (parse ({ "/?" }).command, Command::help);
    EXPECT_EQ (parse ({ "/SP-" }).command, Command::openWindow);       // anything else as before
}

TEST (CommandLineParsing, LogAndAllowDowngradeGoWithTheirCommands)
{
    const auto logged = parse ({ "verify", "all", "--log", "run.log" });
    EXPECT_EQ (logged.command, Command::verify);
    EXPECT_EQ (logged.logFile, juce::File::getCurrentWorkingDirectory().getChildFile ("run.log"));
    EXPECT_EQ (parse ({ "--log=/tmp/a b.log", "status" }).logFile, juce::File ("/tmp/a b.log"));
    EXPECT_TRUE (parse ({ "install", "vst3", "--allow-downgrade" }).allowDowngrade);

    for (const auto& arguments : { juce::StringArray { "status", "--log" }, juce::StringArray { "status", "--log", "--json" },
                                   juce::StringArray { "--log", "x.log" },
                                   juce::StringArray { "uninstall", "all", "--allow-downgrade" }, juce::StringArray { "--allow-downgrade" } })
        EXPECT_EQ (CommandLine::parse (arguments).command, Command::usageError) << arguments.joinIntoString (" ");
}

TEST (CommandLineParsing, FormatNamesAreTheOnesOnTheScreen)
{
    EXPECT_EQ (CommandLine::formatIndexFor ("vst3"), 0);
    EXPECT_EQ (CommandLine::formatIndexFor ("CLAP"), 1);
    EXPECT_EQ (CommandLine::formatIndexFor ("Aax"), 2);
    EXPECT_EQ (CommandLine::formatIndexFor ("all"), -1);
    EXPECT_EQ (CommandLine::formatIndexFor ("vst"), -1);
    EXPECT_EQ (CommandLine::formatIndexFor ("vst3 "), -1);
}

//==============================================================================
TEST (CommandLineRun, UsageErrorGoesToStandardErrorWithTheHint)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();
    const ScopedWinePrefix prefix;
    prefix.makerFolder().createDirectory();

    const auto captured = runCaptured (parse ({ "install", "vst2" }));
    EXPECT_EQ (captured.exitCode, 2);
    EXPECT_TRUE (captured.standardOutput.isEmpty());

    const auto lines = juce::StringArray::fromLines (captured.standardError.trimEnd());
    ASSERT_EQ (lines.size(), 2) << captured.standardError;
    EXPECT_TRUE (lines[0].contains ("vst2"));
    EXPECT_TRUE (lines[1].contains ("--help"));

    // A mistake on the command line touches nothing, not even the settings file.
    EXPECT_EQ (prefix.makerFolder().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 0);
}

TEST (CommandLineRun, VersionAndHelpOnStandardOutput)
{
    const auto version = runCaptured (parse ({ "--version" }));
    EXPECT_EQ (version.exitCode, 0);
    EXPECT_EQ (version.standardOutput, "ov_installer 1.2.0\n");
    EXPECT_TRUE (version.standardError.isEmpty());

    const auto help = runCaptured (parse ({ "-h" }));
    EXPECT_EQ (help.exitCode, 0);
    EXPECT_TRUE (help.standardError.isEmpty());

    for (const auto* word : { "status", "install FORMAT", "uninstall FORMAT", "--json", "--version", "--help", "vst3, clap, aax or all" })
        EXPECT_TRUE (help.standardOutput.contains (word)) << word;
}

TEST (CommandLineRun, ProgressOnlyWhenStandardErrorIsATerminal)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();
    const ScopedWinePrefix prefix;

    const auto quiet = runCaptured (parse ({ "install", "aax", "vst3" }), false);
    EXPECT_EQ (quiet.exitCode, 0);
    EXPECT_TRUE (quiet.standardError.isEmpty()) << quiet.standardError;
    EXPECT_EQ (quiet.standardOutput, "VST3: installed\nAAX: installed\n");

    const auto watched = runCaptured (parse ({ "install", "aax", "vst3" }), true);
    EXPECT_EQ (watched.exitCode, 0);
    EXPECT_EQ (watched.standardError, "Installing VST3 (1 of 2)...\nInstalling AAX (2 of 2)...\n");
    EXPECT_EQ (watched.standardOutput, quiet.standardOutput);

    // Removing is quick and shows no progress.
    const auto removed = runCaptured (parse ({ "uninstall", "all" }), true);
    EXPECT_EQ (removed.exitCode, 0);
    EXPECT_TRUE (removed.standardError.isEmpty());
    EXPECT_EQ (removed.standardOutput, "VST3: uninstalled\nCLAP: uninstalled\nAAX: uninstalled\n");
}

TEST (CommandLineRun, StatusReadsTheFoldersFromTheSettingsFile)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();
    const ScopedWinePrefix prefix;
    prefix.makerFolder().createDirectory();
    const auto custom = prefix.driveC().getChildFile ("Studio/VST3");
    prefix.makerFolder().getChildFile ("PluginManagerSettings.txt")
          .replaceWithText ("<Plugin_Manager_Settings VST3_Path=\"C:\\Studio\\VST3\" CLAP_Path=\"C:/Studio/CLAP\" AAX_Path=\"C:\\Studio\\AAX\"/>");

    const auto folders = CommandLine::resolveInstallFolders();
    EXPECT_EQ (folders[0], custom);
    EXPECT_EQ (folders[1], prefix.driveC().getChildFile ("Studio/CLAP"));
    EXPECT_TRUE (custom.isDirectory()) << "the settings file's folder is created, as at the window's start";

    ASSERT_EQ (runCaptured (parse ({ "install", "vst3" })).exitCode, 0);
    EXPECT_TRUE (custom.getChildFile ("Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3").existsAsFile());
    EXPECT_FALSE (bundleIn (prefix, "VST3", ".vst3").exists());

    const auto status = runCaptured (parse ({ "status", "--json" }));
    const auto parsed = juce::JSON::parse (status.standardOutput);
    EXPECT_EQ (parsed["formats"][0]["path"].toString(), custom.getChildFile ("Kelvara 2.vst3").getFullPathName());
    EXPECT_EQ (parsed["formats"][0]["state"].toString(), "installed");
}

TEST (CommandLineRun, WithoutTheSettingsFileTheDefaultsAreWrittenAndUsed)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();
    const ScopedWinePrefix prefix;
    prefix.makerFolder().createDirectory();

    const auto captured = runCaptured (parse ({ "status" }));
    EXPECT_EQ (captured.exitCode, 0);

    const auto written = prefix.makerFolder().getChildFile ("PluginManagerSettings.txt");
    EXPECT_EQ (readText (written), readText (juce::File (OV_TEST_DATA_DIR).getChildFile ("PluginManagerSettings.default.txt")));
    EXPECT_TRUE (captured.standardOutput.contains (bundleIn (prefix, "CLAP", ".clap").getFullPathName()));
}

TEST (CommandLineRun, ExitCodesThreeToFiveOnlyWhenEveryFailureIsOfThatKind)
{
    using Result = InstallEngine::FormatResult;
    const Result ok { 0, true, {}, {}, false }, noted { 0, true, {}, "held", false };
    const Result held { 1, false, "in use", {}, true }, broken { 2, false, "cannot write", {}, false };
    const Result full { 1, false, "no room", {}, false, true, false }, newer { 2, false, "newer", {}, false, false, true };

    EXPECT_EQ (CommandLine::exitCodeFor ({}), 0);
    EXPECT_EQ (CommandLine::exitCodeFor ({ ok, noted }), 0);
    EXPECT_EQ (CommandLine::exitCodeFor ({ ok, held, held }), 3);
    EXPECT_EQ (CommandLine::exitCodeFor ({ held, broken }), 1);
    EXPECT_EQ (CommandLine::exitCodeFor ({ broken }), 1);
    EXPECT_EQ (CommandLine::exitCodeFor ({ ok, full, full }), 4);
    EXPECT_EQ (CommandLine::exitCodeFor ({ newer, ok }), 5);
    EXPECT_EQ (CommandLine::exitCodeFor ({ full, newer }), 1);
    EXPECT_EQ (CommandLine::exitCodeFor ({ held, full }), 1);
    EXPECT_EQ (CommandLine::exitCodeFor ({ newer, broken }), 1);
}

//==============================================================================
TEST (CommandLineReport, StateWords)
{
    EXPECT_EQ (CommandLineReport::stateName ({}), "absent");
    EXPECT_EQ (CommandLineReport::stateName ({ true, "2.4.3.0", false }), "installed");
    EXPECT_EQ (CommandLineReport::stateName ({ true, {}, false }), "installed");
    EXPECT_EQ (CommandLineReport::stateName ({ true, "2.4.2.9", true }), "outdated");
}

TEST (CommandLineReport, StatusLinesCarryNameStateVersionAndPath)
{
    OV_SKIP_ON_WINDOWS ("the expected paths are written in POSIX form");

    const juce::File folder ("/tmp/plug ins");
    const std::vector<CommandLineReport::FormatState> states
    {
        { 0, { true, "2.4.2.9", true }, folder.getChildFile ("Kelvara 2.vst3") },
        { 1, { true, {}, false },       folder.getChildFile ("Kelvara 2.clap") },
        { 2, {},                        folder.getChildFile ("Kelvara 2.aaxplugin") },
    };

    const auto lines = juce::StringArray::fromLines (CommandLineReport::statusText (states).trimEnd());
    ASSERT_EQ (lines.size(), 3);

    const std::vector<std::vector<juce::String>> expected
    {
        { "VST3", "outdated",  "2.4.2.9", "/tmp/plug ins/Kelvara 2.vst3" },
        { "CLAP", "installed", "-",       "/tmp/plug ins/Kelvara 2.clap" },
        { "AAX",  "absent",    "-",       "/tmp/plug ins/Kelvara 2.aaxplugin" },
    };

    for (int i = 0; i < 3; ++i)
    {
        // Columns are separated by at least one space; the path, which may hold spaces, comes last.
        juce::StringArray words;
        words.addTokens (lines[i], " ", {});
        words.removeEmptyStrings();
        ASSERT_GE (words.size(), 4) << lines[i];
        EXPECT_EQ (words[0], expected[(size_t) i][0]);
        EXPECT_EQ (words[1], expected[(size_t) i][1]);
        EXPECT_EQ (words[2], expected[(size_t) i][2]);
        EXPECT_TRUE (lines[i].endsWith (" " + expected[(size_t) i][3])) << lines[i];
    }
}

TEST (CommandLineReport, FailuresKeepTheirReasonOnOneLine)
{
    OV_SKIP_ON_WINDOWS ("the expected paths are written in POSIX form");

    const std::vector<InstallEngine::FormatResult> results { { 0, true, {}, "The old one\nis held", false },
                                                             { 1, false, "Cannot write\r\nthe folder", {}, false } };

    // A success's note is a second line of its own.
    EXPECT_EQ (CommandLineReport::resultsText (results, InstallRun::Action::install),
               "VST3: installed\n  note: The old one is held\nCLAP: failed: Cannot write  the folder\n");

    const InstallRun::Folders folders { juce::File ("/a"), juce::File ("/b"), juce::File ("/c") };
    const auto json = juce::JSON::parse (CommandLineReport::resultsJson (results, InstallRun::Action::uninstall, folders,
                                                                         "Kelvara 2", "2.4.3"));
    EXPECT_EQ (json["command"].toString(), "uninstall");
    EXPECT_EQ (json["product"].toString(), "Kelvara 2");
    EXPECT_EQ (json["productVersion"].toString(), "2.4.3");
    ASSERT_EQ (json["formats"].size(), 2);
    EXPECT_EQ (json["formats"][0]["result"].toString(), "uninstalled");
    EXPECT_TRUE ((bool) json["formats"][0]["succeeded"]);
    EXPECT_TRUE (json["formats"][0]["reason"].isVoid());
    EXPECT_EQ (json["formats"][0]["note"].toString(), "The old one is held");
    EXPECT_TRUE (json["formats"][1]["note"].isVoid());
    EXPECT_EQ (json["formats"][1]["format"].toString(), "CLAP");
    EXPECT_EQ (json["formats"][1]["result"].toString(), "failed");
    EXPECT_FALSE ((bool) json["formats"][1]["succeeded"]);
    EXPECT_EQ (json["formats"][1]["reason"].toString(), "Cannot write  the folder");
    EXPECT_EQ (json["formats"][1]["path"].toString(), "/b/Kelvara 2.clap");
}

//==============================================================================
TEST (InstallRun, RunsTheChosenFormatsInFormatOrderAndGoesOnAfterAFailure)
{
    OV_SKIP_ON_WINDOWS_WINE_PREFIX();
    const ScopedWinePrefix prefix;
    const auto folder = prefix.driveC().getChildFile ("plugins");
    // A plain file where the CLAP folder should be: nothing can be unpacked under it.
    const auto blocked = prefix.driveC().getChildFile ("blocked");
    prefix.driveC().createDirectory();
    blocked.replaceWithText ("not a folder");

    std::vector<int> announced;
    const auto results = InstallRun::run (InstallRun::Action::install, { true, true, true }, { folder, blocked, folder },
                                          "Kelvara 2", [&] (int formatIndex) { announced.push_back (formatIndex); });

    EXPECT_EQ (announced, (std::vector<int> { 0, 1, 2 }));
    ASSERT_EQ (results.size(), 3u);
    EXPECT_EQ (results[0].formatIndex, 0);
    EXPECT_TRUE (results[0].succeeded);
    EXPECT_EQ (results[1].formatIndex, 1);
    EXPECT_FALSE (results[1].succeeded);
    EXPECT_TRUE (results[1].reason.isNotEmpty());
    EXPECT_EQ (results[2].formatIndex, 2);
    EXPECT_TRUE (results[2].succeeded);
    EXPECT_TRUE (folder.getChildFile ("Kelvara 2.aaxplugin/Contents/x64/Kelvara 2.aaxplugin").existsAsFile());
    EXPECT_EQ (blocked.loadFileAsString(), "not a folder");

    const auto removed = InstallRun::run (InstallRun::Action::uninstall, { false, false, true }, { folder, blocked, folder }, "Kelvara 2");
    ASSERT_EQ (removed.size(), 1u);
    EXPECT_EQ (removed[0].formatIndex, 2);
    EXPECT_TRUE (removed[0].succeeded);
    EXPECT_FALSE (folder.getChildFile ("Kelvara 2.aaxplugin").exists());
    EXPECT_TRUE (folder.getChildFile ("Kelvara 2.vst3").isDirectory());
}

TEST (InstallRun, CarriesEachFormatsOwnArchive)
{
    // Each archive holds exactly its own bundle at the top level.
    const char* const bundles[] { "Kelvara 2.vst3/", "Kelvara 2.clap", "Kelvara 2.aaxplugin/" };

    for (int formatIndex = 0; formatIndex < 3; ++formatIndex)
    {
        const auto payload = InstallRun::payloadFor (formatIndex);
        ASSERT_NE (payload.data, nullptr);
        juce::ZipFile zip (new juce::MemoryInputStream (payload.data, payload.size, false), true);
        ASSERT_GT (zip.getNumEntries(), 0);

        for (int i = 0; i < zip.getNumEntries(); ++i)
            EXPECT_TRUE (zip.getEntry (i)->filename.replaceCharacter ('\\', '/').startsWith (bundles[formatIndex])) << zip.getEntry (i)->filename;
    }
}
