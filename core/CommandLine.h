#pragma once

#include "core/InstallRun.h"

#include <algorithm>
#include <functional>

//==============================================================================
/** The unattended commands: status, install, uninstall and verify from a script, with exit codes.

    Anything that is not one of the commands opens the window as before, so that arguments
    the window never looked at keep doing nothing. Everything here works on juce_core alone,
    because the commands must run where there is no display.
*/
class CommandLine
{
public:
    CommandLine() = delete;

    enum class Command
    {
        openWindow,
        help,
        version,
        status,
        install,
        uninstall,
        verify,
        usageError
    };

    /** What the arguments ask for. */
    struct Request
    {
        Command command = Command::openWindow;
        InstallRun::Selection formats {};
        bool json = false;
        bool allowDowngrade = false;
        juce::File logFile;        // appended to when set
        juce::StringArray arguments;
        juce::String problem;      // the one-line description of a usage error
    };

    /** Reads the arguments that follow the program's name. */
    static Request parse (const juce::StringArray& arguments);

    /** A format's index from its name in any letter case, or -1; "all" is not a format. */
    static int formatIndexFor (const juce::String& name);

    //==============================================================================
    enum ExitCode
    {
        success    = 0,
        failure    = 1,
        usageFault = 2,
        inUse      = 3,    // every failure was a bundle held by another program: worth retrying later
        diskFull   = 4,    // every failure was a volume without room for the bundle
        downgradeRefused = 5   // every failure was a newer release left in place
    };

    /** The exit code of an install or uninstall run from its results. */
    static int exitCodeFor (const std::vector<InstallEngine::FormatResult>& results);

    /** Where the commands write. Each call is handed whole lines, newline included. */
    struct Output
    {
        std::function<void (const juce::String&)> standardOutput;
        std::function<void (const juce::String&)> standardError;
        bool errorIsTerminal = false;    // progress is shown only to a person watching
    };

    /** Carries out a request other than openWindow and returns the process's exit code. */
    static int run (const Request& request, const Output& output);

    static juce::String usageText();
    static juce::String versionText();

    /** The install folders as the window finds them: the defaults, overridden by the shared
        settings file, which is written with the defaults when it is missing. */
    static InstallRun::Folders resolveInstallFolders();
};
