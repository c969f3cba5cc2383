#pragma once

#include "core/InstallEngine.h"
#include "core/ProductDefinition.h"

#include <array>
#include <functional>
#include <vector>

//==============================================================================
/** One run of the engine over the chosen formats, in format order: the INSTALL button's run
    and the command line's install and uninstall go through here alike.
*/
class InstallRun
{
public:
    InstallRun() = delete;

    enum class Action
    {
        install,
        uninstall
    };

    using Selection = std::array<bool, ProductDefinition::numFormats>;
    using Folders   = std::array<juce::File, ProductDefinition::numFormats>;

    /** Told the format index just before each chosen format is processed. */
    using BeforeFormat = std::function<void (int formatIndex)>;

    /** Installs or removes every chosen format, each into its own folder; a failure of one does
        not stop the others. Returns one result per chosen format, in format order. The log
        is told what the engine does, each line led by the format's name. */
    static std::vector<InstallEngine::FormatResult> run (Action action,
                                                         const Selection& chosen,
                                                         const Folders& installFolders,
                                                         const juce::String& productName,
                                                         const BeforeFormat& beforeFormat = {},
                                                         const InstallEngine::Log& log = {});

    /** The embedded archive of a format, which holds its bundle at the top level. */
    struct Payload
    {
        const void* data = nullptr;
        size_t size = 0;
    };

    static Payload payloadFor (int formatIndex);

    /** Adds a note about the run as a whole to its last format's, where every report shows it. */
    static void addRunNote (std::vector<InstallEngine::FormatResult>& results, const juce::String& note);
};
