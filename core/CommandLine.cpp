#include "core/CommandLine.h"
#include "core/BundleVerifier.h"
#include "core/CommandLineReport.h"
#include "core/InstallFolders.h"
#include "core/InstallPathSettings.h"
#include "core/RunLog.h"
#include "core/StagingArea.h"
#include "core/UninstallEntry.h"

namespace
{
    CommandLine::Request usageError (const juce::String& problem)
    {
        CommandLine::Request request;
        request.command = CommandLine::Command::usageError;
        request.problem = problem;
        return request;
    }

    // In any letter case.
    const juce::StringArray silentSwitches { "/S", "/SILENT", "/VERYSILENT", "/SUPPRESSMSGBOXES", "/quiet", "/q", "/qn", "/passive" };

    bool isOption (const juce::String& argument)
    {
        return argument.startsWithChar ('-');
    }

    /** The formats named after an install or uninstall, merged; a usage error for a name that
        is no format, or when none is named. */
    CommandLine::Request withFormats (CommandLine::Request request, const juce::String& commandName,
                                      const juce::StringArray& names)
    {
        if (names.isEmpty())
            return usageError (commandName + " needs at least one format: vst3, clap, aax or all");

        for (const auto& name : names)
        {
            if (name.equalsIgnoreCase ("all"))
            {
                request.formats.fill (true);
                continue;
            }

            const auto formatIndex = CommandLine::formatIndexFor (name);

            if (formatIndex < 0)
                return usageError ("unknown format '" + name + "' (use vst3, clap, aax or all)");

            request.formats[(size_t) formatIndex] = true;
        }

        return request;
    }

    juce::String productName()
    {
        return ProductDefinition::displayProductName (ProductDefinition::rawProductName);
    }

    /** Writes each line of a report to the log. */
    using Record = std::function<void (const juce::String&)>;

    void recordLines (const Record& record, const juce::String& text)
    {
        for (const auto& line : juce::StringArray::fromLines (text.trimEnd()))
            record (line);
    }

    int runStatus (const CommandLine::Request& request, const CommandLine::Output& output, const Record& record)
    {
        const auto states = CommandLineReport::detectAll (CommandLine::resolveInstallFolders(), productName(),
                                                          ProductDefinition::productVersion);
        const auto text = CommandLineReport::statusText (states);

        recordLines (record, text);
        output.standardOutput (request.json ? CommandLineReport::statusJson (states, productName(), ProductDefinition::productVersion)
                                            : text);
        return CommandLine::success;
    }

    int runVerify (const CommandLine::Request& request, const CommandLine::Output& output, const Record& record)
    {
        const auto folders = CommandLine::resolveInstallFolders();
        std::vector<CommandLineReport::FormatCheck> checks;

        for (int formatIndex = 0; formatIndex < ProductDefinition::numFormats; ++formatIndex)
        {
            if (! request.formats[(size_t) formatIndex])
                continue;

            const auto bundle = ProductDefinition::bundleFor (folders[(size_t) formatIndex], productName(), formatIndex);
            const auto payload = InstallRun::payloadFor (formatIndex);
            checks.push_back ({ formatIndex, BundleVerifier::verify (bundle, payload.data, payload.size), bundle });
        }

        const auto text = CommandLineReport::verifyText (checks);
        recordLines (record, text);
        output.standardOutput (request.json ? CommandLineReport::verifyJson (checks, productName(), ProductDefinition::productVersion)
                                            : text);

        const auto allIntact = std::all_of (checks.begin(), checks.end(),
                                            [] (const auto& c) { return c.verdict.state == BundleVerifier::State::intact; });
        return allIntact ? CommandLine::success : CommandLine::failure;
    }

    /** Formats whose installed module is a newer release than this installer carries; an
        install leaves them alone unless told to downgrade. */
    std::vector<InstallEngine::FormatResult> refuseDowngrades (InstallRun::Selection& chosen, const InstallRun::Folders& folders)
    {
        std::vector<InstallEngine::FormatResult> refused;
        const juce::String productVersion (ProductDefinition::productVersion);

        for (int formatIndex = 0; formatIndex < ProductDefinition::numFormats; ++formatIndex)
        {
            if (! chosen[(size_t) formatIndex])
                continue;

            // A bundle that a stopped run moved aside is put back first, so that its own release is judged.
            StagingArea::recoverAbandonedFolders (folders[(size_t) formatIndex],
                                                           ProductDefinition::bundleName (productName(), formatIndex));
            const auto status = FormatStatus::detect (folders[(size_t) formatIndex], productName(), productVersion, formatIndex);

            if (status.installedVersion.isNotEmpty() && FormatStatus::compareReleases (status.installedVersion, productVersion) > 0)
            {
                chosen[(size_t) formatIndex] = false;
                InstallEngine::FormatResult kept { formatIndex, false, "the installed version " + status.installedVersion + " is newer than "
                                                                       + productVersion + "; use --allow-downgrade to replace it", {}, false };
                kept.newerKept = true;
                refused.push_back (kept);
            }
        }

        return refused;
    }

    int runEngine (const CommandLine::Request& request, const CommandLine::Output& output, const Record& record)
    {
        const auto action = request.command == CommandLine::Command::install ? InstallRun::Action::install
                                                                             : InstallRun::Action::uninstall;
        const auto folders = CommandLine::resolveInstallFolders();
        auto chosen = request.formats;
        auto refused = action == InstallRun::Action::install && ! request.allowDowngrade ? refuseDowngrades (chosen, folders)
                                                                                         : std::vector<InstallEngine::FormatResult>();

        InstallRun::BeforeFormat showProgress;

        if (action == InstallRun::Action::install && output.errorIsTerminal)
        {
            const auto total = (int) std::count (chosen.begin(), chosen.end(), true);

            showProgress = [&output, total, done = 0] (int formatIndex) mutable
            {
                output.standardError ("Installing " + formatNames[formatIndex]
                                      + " (" + juce::String (++done) + " of " + juce::String (total) + ")...\n");
            };
        }

        auto results = InstallRun::run (action, chosen, folders, productName(), showProgress, record);
        results.insert (results.end(), refused.begin(), refused.end());
        std::sort (results.begin(), results.end(), [] (const auto& a, const auto& b) { return a.formatIndex < b.formatIndex; });
        InstallRun::addRunNote (results, UninstallEntry::refresh (folders, productName()));

        const auto text = CommandLineReport::resultsText (results, action);
        recordLines (record, text);
        output.standardOutput (request.json ? CommandLineReport::resultsJson (results, action, folders, productName(),
                                                                              ProductDefinition::productVersion)
                                            : text);

        return CommandLine::exitCodeFor (results);
    }
}

//==============================================================================
CommandLine::Request CommandLine::parse (const juce::StringArray& arguments)
{
    Request request;
    request.arguments = arguments;
    bool wantsHelp = false, wantsVersion = false;
    juce::StringArray words;

    for (int i = 0; i < arguments.size(); ++i)
    {
        const auto& argument = arguments[i];

        // Other installers' silent switches would open a window nobody sees; say what works.
        if (silentSwitches.contains (argument, true))
            return usageError ("'" + argument + "' is not a switch of this installer; to install every format without "
                               "a window, run '" + ProductDefinition::applicationName + " install all'");

        if (argument == "/?")
            wantsHelp = true;
        else if (! isOption (argument))
            words.add (argument);
        else if (argument == "--help" || argument == "-h")
            wantsHelp = true;
        else if (argument == "--allow-downgrade")
            request.allowDowngrade = true;
        else if (argument == "--log" || argument.startsWith ("--log="))
        {
            const auto path = argument == "--log" ? arguments[++i] : argument.fromFirstOccurrenceOf ("=", false, false);

            // An option right after it is a forgotten file name, not a log called "--json".
            if (path.isEmpty() || (argument == "--log" && isOption (path)))
                return usageError ("--log needs a file");

            request.logFile = juce::File::getCurrentWorkingDirectory().getChildFile (path);
        }
        else if (argument == "--version")
            wantsVersion = true;
        else if (argument == "--json")
            request.json = true;
        else
            return usageError ("unknown option '" + argument + "'");
    }

    if (wantsHelp)     { request.command = Command::help;     return request; }
    if (wantsVersion)  { request.command = Command::version;  return request; }

    const auto commandName = words.isEmpty() ? juce::String() : words[0];
    words.remove (0);

    if (commandName == "status")
    {
        if (! words.isEmpty())
            return usageError ("status takes no formats, but was given '" + words[0] + "'");

        request.command = Command::status;
    }
    else if (commandName == "install" || commandName == "uninstall" || commandName == "verify")
    {
        request.command = commandName == "install" ? Command::install
                        : commandName == "uninstall" ? Command::uninstall
                                                     : Command::verify;
        request = withFormats (request, commandName, words);

        if (request.command == Command::usageError)
            return request;
    }
    else
    {
        // Arguments the window never looked at still just open it; an option of the commands
        // given without one is a mistake worth saying.
        if (request.json || request.logFile != juce::File() || request.allowDowngrade)
            return usageError (juce::String (request.json ? "--json" : request.allowDowngrade ? "--allow-downgrade" : "--log")
                               + " needs a command: status, install, uninstall or verify");

        return request;
    }

    if (request.allowDowngrade && request.command != Command::install)
        return usageError ("--allow-downgrade goes with install only");

    return request;
}

int CommandLine::formatIndexFor (const juce::String& name)
{
    for (int formatIndex = 0; formatIndex < ProductDefinition::numFormats; ++formatIndex)
        if (name.equalsIgnoreCase (formatNames[formatIndex]))
            return formatIndex;

    return -1;
}

//==============================================================================
int CommandLine::run (const Request& request, const Output& output)
{
    if (request.command == Command::usageError)
    {
        output.standardError (juce::String (ProductDefinition::applicationName) + ": " + request.problem + "\n"
                              + "Try '" + ProductDefinition::applicationName + " --help' for more information.\n");
        return usageFault;
    }

    // The log is opened before anything changes, so that a run nobody can trace never starts.
    std::unique_ptr<RunLog> log;
    Record record = [] (const juce::String&) {};

    if (request.logFile != juce::File())
    {
        log = std::make_unique<RunLog> (request.logFile);

        if (log->getStatus().failed())
        {
            output.standardError (juce::String (ProductDefinition::applicationName) + ": cannot open the log "
                                  + log->getStatus().getErrorMessage() + "\n");
            return usageFault;
        }

        record = [&log] (const juce::String& line) { log->write (line); };

        juce::StringArray quoted;

        for (const auto& argument : request.arguments)
            quoted.add (argument.containsAnyOf (" \t\"'") || argument.isEmpty() ? argument.quoted() : argument);

        record (juce::String (ProductDefinition::applicationName) + " " + quoted.joinIntoString (" "));
    }

    const auto exitCode = [&]
    {
        switch (request.command)
        {
            case Command::help:       output.standardOutput (usageText());            return (int) success;
            case Command::version:    output.standardOutput (versionText() + "\n");   return (int) success;
            case Command::status:     return runStatus (request, output, record);
            case Command::verify:     return runVerify (request, output, record);
            case Command::install:
            case Command::uninstall:  return runEngine (request, output, record);
            case Command::usageError:
            case Command::openWindow: break;
        }

        jassertfalse;   // the window is not a command
        return (int) usageFault;
    }();

    record ("exit code " + juce::String (exitCode));
    return exitCode;
}

int CommandLine::exitCodeFor (const std::vector<InstallEngine::FormatResult>& results)
{
    const auto failed = [] (const auto& r) { return ! r.succeeded; };

    if (std::none_of (results.begin(), results.end(), failed))
        return success;

    // A deployment tool handles each of these kinds its own way; a mixture is a plain failure.
    const auto allFailuresAre = [&results] (auto kind)
    {
        return std::all_of (results.begin(), results.end(), [&kind] (const auto& r) { return r.succeeded || kind (r); });
    };

    if (allFailuresAre ([] (const auto& r) { return r.inUse; }))       return inUse;
    if (allFailuresAre ([] (const auto& r) { return r.lacksSpace; }))  return diskFull;
    if (allFailuresAre ([] (const auto& r) { return r.newerKept; }))   return downgradeRefused;

    return failure;
}

juce::String CommandLine::versionText()
{
    return juce::String (ProductDefinition::applicationName) + " " + ProductDefinition::installerVersion;
}

juce::String CommandLine::usageText()
{
    const juce::String name (ProductDefinition::applicationName);

    return "Usage: " + name + " [COMMAND [FORMAT...]] [--json] [--log FILE]\n"
           "\n"
           "Installs, updates and removes " + productName() + " " + ProductDefinition::productVersion
               + " in the VST3, CLAP and AAX formats.\n"
           "Without a command the installer opens its window.\n"
           "\n"
           "Commands:\n"
           "  status               show what is installed, per format\n"
           "  install FORMAT...    install the formats, replacing what is there and repairing\n"
           "                       damaged bundles\n"
           "  uninstall FORMAT...  remove the formats\n"
           "  verify FORMAT...     compare the installed bundles with the installer's archives\n"
           "\n"
           "FORMAT is vst3, clap, aax or all, in any letter case.\n"
           "\n"
           "Options:\n"
           "  --json               print the outcome as one JSON object\n"
           "  --log FILE           append what the command does to FILE, with the time\n"
           "  --allow-downgrade    let install replace a newer release of a format\n"
           "  --version            print the version and exit\n"
           "  -h, --help, /?       print this help and exit\n"
           "\n"
           "Exit status:\n"
           "  0  every format succeeded (for verify: is intact)\n"
           "  1  a format failed (failures of different kinds end with 1 too)\n"
           "  2  a usage error or a log that cannot be opened\n"
           "  3  every failure was a bundle in use by another program (close it and try again)\n"
           "  4  every failure was a volume without room for the bundle; nothing was written\n"
           "  5  every failure was a newer release left in place (see --allow-downgrade)\n"
           "The JSON reports give each format's own code as \"code\" and the run's as \"exitCode\".\n"
           "Silent switches of other installers (/S, /quiet and the like) are not taken; use\n"
           "'" + name + " install all'.\n"
           "The install folders come from the shared settings file, as in the window.\n";
}

InstallRun::Folders CommandLine::resolveInstallFolders()
{
    return InstallFolders::resolved();
}
