#pragma once

#include "core/BundleVerifier.h"
#include "core/FormatStatus.h"
#include "core/InstallRun.h"

#include <vector>

//==============================================================================
/** What the commands print: one line per format for people, or one JSON object for scripts.
    The JSON field names and state words are what scripts rely on, so they stay as they are.
*/
class CommandLineReport
{
public:
    CommandLineReport() = delete;

    /** One format as status detection finds it on the disk. */
    struct FormatState
    {
        int formatIndex = -1;
        FormatStatus status;
        juce::File bundle;
    };

    static std::vector<FormatState> detectAll (const InstallRun::Folders& installFolders,
                                               const juce::String& productName,
                                               const juce::String& productVersion);

    /** "installed", "outdated" or "absent". */
    static juce::String stateName (const FormatStatus& status);

    static juce::String statusText (const std::vector<FormatState>& states);
    static juce::String statusJson (const std::vector<FormatState>& states,
                                    const juce::String& productName, const juce::String& productVersion);

    /** "installed", "uninstalled" or "failed", by what the run did for the format. */
    static juce::String resultName (const InstallEngine::FormatResult& result, InstallRun::Action action);

    static juce::String resultsText (const std::vector<InstallEngine::FormatResult>& results, InstallRun::Action action);
    static juce::String resultsJson (const std::vector<InstallEngine::FormatResult>& results, InstallRun::Action action,
                                     const InstallRun::Folders& installFolders,
                                     const juce::String& productName, const juce::String& productVersion);

    /** One format as verify finds it against the carried archive. */
    struct FormatCheck
    {
        int formatIndex = -1;
        BundleVerifier::Verdict verdict;
        juce::File bundle;
    };

    static juce::String verifyText (const std::vector<FormatCheck>& checks);
    static juce::String verifyJson (const std::vector<FormatCheck>& checks,
                                    const juce::String& productName, const juce::String& productVersion);
};
