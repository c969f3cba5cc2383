#include "core/CommandLine.h"
#include "core/CommandLineReport.h"
#include "core/InstallPathSettings.h"
#include "core/WindowsLocations.h"

namespace
{
    CommandLine::Request usageError (const juce::String& problem)
    {
        CommandLine::Request request;
        request.command = CommandLine::Command::usageError;
        request.problem = problem;
        return request;
    }

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

    int runStatus (const CommandLine::Request& request, const CommandLine::Output& output)
    {
        const auto states = CommandLineReport::detectAll (CommandLine::resolveInstallFolders(), productName(),
                                                          ProductDefinition::productVersion);

        output.standardOutput (request.json ? CommandLineReport::statusJson (states, productName(), ProductDefinition::productVersion)
                                            : CommandLineReport::statusText (states));
        return CommandLine::success;
    }

    int runEngine (const CommandLine::Request& request, const CommandLine::Output& output)
    {
        const auto action = request.command == CommandLine::Command::install ? InstallRun::Action::install
                                                                             : InstallRun::Action::uninstall;
        const auto folders = CommandLine::resolveInstallFolders();

        InstallRun::BeforeFormat showProgress;

        if (action == InstallRun::Action::install && output.errorIsTerminal)
        {
            const auto total = (int) std::count (request.formats.begin(), request.formats.end(), true);

            showProgress = [&output, total, done = 0] (int formatIndex) mutable
            {
                output.standardError ("Installing " + formatNames[formatIndex]
                                      + " (" + juce::String (++done) + " of " + juce::String (total) + ")...\n");
            };
        }

        const auto results = InstallRun::run (action, request.formats, folders, productName(), showProgress);

        output.standardOutput (request.json ? CommandLineReport::resultsJson (results, action, folders, productName(),
                                                                              ProductDefinition::productVersion)
                                            : CommandLineReport::resultsText (results, action));

        const auto allSucceeded = std::all_of (results.begin(), results.end(), [] (const auto& r) { return r.succeeded; });
        return allSucceeded ? CommandLine::success : CommandLine::failure;
    }
}

//==============================================================================
CommandLine::Request CommandLine::parse (const juce::StringArray& arguments)
{
    Request request;
    bool wantsHelp = false, wantsVersion = false;
    juce::StringArray words;

    for (const auto& argument : arguments)
    {
        if (! isOption (argument))
            words.add (argument);
        else if (argument == "--help" || argument == "-h")
            wantsHelp = true;
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
        return request;
    }

    if (commandName == "install" || commandName == "uninstall")
    {
        request.command = commandName == "install" ? Command::install : Command::uninstall;
        return withFormats (request, commandName, words);
    }

    // Arguments the window never looked at still just open it; an option of the commands
    // given without one is a mistake worth saying.
    if (request.json)
        return usageError ("--json needs a command: status, install or uninstall");

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
    switch (request.command)
    {
        case Command::help:
            output.standardOutput (usageText());
            return success;

        case Command::version:
            output.standardOutput (versionText() + "\n");
            return success;

        case Command::usageError:
            output.standardError (juce::String (ProductDefinition::applicationName) + ": " + request.problem + "\n"
                                  + "Try '" + ProductDefinition::applicationName + " --help' for more information.\n");
            return usageFault;

        case Command::status:
            return runStatus (request, output);

        case Command::install:
        case Command::uninstall:
            return runEngine (request, output);

        case Command::openWindow:
            break;
    }

    jassertfalse;   // the window is not a command
    return usageFault;
}

juce::String CommandLine::versionText()
{
    return juce::String (ProductDefinition::applicationName) + " " + ProductDefinition::installerVersion;
}

juce::String CommandLine::usageText()
{
    const juce::String name (ProductDefinition::applicationName);

    return "Usage: " + name + " [COMMAND [FORMAT...]] [--json]\n"
           "\n"
           "Installs, updates and removes " + productName() + " " + ProductDefinition::productVersion
               + " in the VST3, CLAP and AAX formats.\n"
           "Without a command the installer opens its window.\n"
           "\n"
           "Commands:\n"
           "  status               show what is installed, per format\n"
           "  install FORMAT...    install the formats, replacing what is there\n"
           "  uninstall FORMAT...  remove the formats\n"
           "\n"
           "FORMAT is vst3, clap, aax or all, in any letter case.\n"
           "\n"
           "Options:\n"
           "  --json               print the outcome as one JSON object\n"
           "  --version            print the version and exit\n"
           "  -h, --help           print this help and exit\n"
           "\n"
           "Exit status: 0 when every format succeeded, 1 when one failed, 2 for a usage error.\n"
           "The install folders come from the shared settings file, as in the window.\n";
}

InstallRun::Folders CommandLine::resolveInstallFolders()
{
    InstallRun::Folders folders;
    const auto base = WindowsLocations::commonFilesFolder();

    for (int formatIndex = 0; formatIndex < ProductDefinition::numFormats; ++formatIndex)
        folders[(size_t) formatIndex] = base.getChildFile (ProductDefinition::defaultInstallFolderChild (formatIndex));

    const auto settingsFolder = WindowsLocations::commonApplicationDataFolder()
                                    .getChildFile (ProductDefinition::settingsFolderName);
    InstallPathSettings::resolve (settingsFolder, folders);
    return folders;
}
