#pragma once

#include <juce_core/juce_core.h>

#include <functional>

//==============================================================================
/** Puts one format's bundle onto the disk from its archive, or takes it off.

    An install never leaves the user without a working bundle: the archive is unpacked into a
    staging folder beside the bundle, every file checked against the archive, and only when
    every entry is out is the old bundle swapped for the new one. A failure anywhere removes
    the staging folder and leaves the old bundle exactly as it was. Until the swap nothing in
    the staging folder carries a name that a plug-in host would load (see StagingArea).
*/
class InstallEngine
{
public:
    InstallEngine() = delete;

    struct FormatResult
    {
        int formatIndex = -1;
        bool succeeded = false;
        juce::String reason;     // why it failed; empty on success
        juce::String note;       // what a success left behind, such as an old bundle still held
        bool inUse = false;      // failed because another program holds the bundle's files
        bool lacksSpace = false; // failed before writing: the volume has no room for the bundle
        bool newerKept = false;  // failed before writing: a newer release is installed (a refused downgrade)
    };

    /** Told, a line at a time, what the engine does: leftovers, files written, the swap. */
    using Log = std::function<void (const juce::String&)>;

    /** Unpacks the archive (which holds the bundle at its top level) into the install folder,
        replacing the existing bundle. */
    static FormatResult install (int formatIndex, const juce::File& installFolder, const juce::String& bundleName,
                                 const void* archiveData, size_t archiveSize, const Log& log = {});

    /** Takes the bundle with everything in it out of the install folder. */
    static FormatResult uninstall (int formatIndex, const juce::File& installFolder, const juce::String& bundleName,
                                   const Log& log = {});
};
