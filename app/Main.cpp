#include "app/ov_installerApplication.h"
#include "core/CommandLine.h"

#include <cstdio>

#if JUCE_WINDOWS
 #include "core/WindowsHeaders.h"
 #include <io.h>
#else
 #include <unistd.h>
#endif

// The command line is read before anything of the window system is touched: the commands
// must run where there is no display. Only when the arguments ask for no command does the
// framework's application start, exactly as its own start-up macro would start it.

namespace
{
    void writeTo (std::FILE* stream, const juce::String& text)
    {
        std::fputs (text.toRawUTF8(), stream);
        std::fflush (stream);
    }

   #if JUCE_WINDOWS
    bool hasStandardHandle (DWORD which)
    {
        const auto handle = GetStdHandle (which);
        return handle != nullptr && handle != INVALID_HANDLE_VALUE;
    }

    void reopenOnConsole (std::FILE* stream)
    {
       #if defined (_MSC_VER)
        std::FILE* reopened = nullptr;
        freopen_s (&reopened, "CONOUT$", "w", stream);
       #else
        std::freopen ("CONOUT$", "w", stream);
       #endif
    }

    /** A GUI-subsystem program starts without a console, so a command's output would go
        nowhere. It attaches to the console of the program that started it; output that the
        caller redirected to a file or pipe stays redirected. */
    void attachToParentConsole()
    {
        const auto outputRedirected = hasStandardHandle (STD_OUTPUT_HANDLE);
        const auto errorRedirected  = hasStandardHandle (STD_ERROR_HANDLE);

        if (! AttachConsole (ATTACH_PARENT_PROCESS))
            return;

        if (! outputRedirected)
            reopenOnConsole (stdout);

        if (! errorRedirected)
            reopenOnConsole (stderr);
    }

    bool standardErrorIsTerminal()   { return _isatty (_fileno (stderr)) != 0; }
   #else
    bool standardErrorIsTerminal()   { return isatty (STDERR_FILENO) != 0; }
   #endif

    /** The command's exit code, or nothing when the window is to open. */
    std::optional<int> runCommand (const juce::StringArray& arguments)
    {
        const auto request = CommandLine::parse (arguments);

        if (request.command == CommandLine::Command::openWindow)
            return std::nullopt;

       #if JUCE_WINDOWS
        attachToParentConsole();
       #endif

        CommandLine::Output output;
        output.standardOutput  = [] (const juce::String& text) { writeTo (stdout, text); };
        output.standardError   = [] (const juce::String& text) { writeTo (stderr, text); };
        output.errorIsTerminal = standardErrorIsTerminal();

        return CommandLine::run (request, output);
    }
}

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wmissing-prototypes")
JUCE_CREATE_APPLICATION_DEFINE (ov_installerApplication)
JUCE_END_IGNORE_WARNINGS_GCC_LIKE

#if JUCE_WINDOWS
JUCE_BEGIN_IGNORE_WARNINGS_MSVC (28251)
int __stdcall WinMain (HINSTANCE, HINSTANCE, char*, int)
JUCE_END_IGNORE_WARNINGS_MSVC
{
    if (const auto exitCode = runCommand (juce::JUCEApplicationBase::getCommandLineParameterArray()))
        return *exitCode;

    juce::JUCEApplicationBase::createInstance = &juce_CreateApplication;
    return juce::JUCEApplicationBase::main();
}
#else
int main (int argc, char* argv[])
{
    juce::StringArray arguments;

    for (int i = 1; i < argc; ++i)
        arguments.add (juce::CharPointer_UTF8 (argv[i]));

    if (const auto exitCode = runCommand (arguments))
        return *exitCode;

    juce::JUCEApplicationBase::createInstance = &juce_CreateApplication;
    return juce::JUCEApplicationBase::main (argc, const_cast<const char**> (argv));
}
#endif
