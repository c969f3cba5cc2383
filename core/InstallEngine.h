#pragma once

#include <juce_core/juce_core.h>

//==============================================================================
/** Puts one format's bundle onto the disk from its archive, or takes it off.

    An install never leaves the user without a working bundle: the archive is unpacked into a
    staging folder beside the bundle, every file checked against the archive, and only when
    every entry is out is the old bundle swapped for the new one. A failure anywhere removes
    the staging folder and leaves the old bundle exactly as it was. Until the swap nothing in
    the staging folder carries a name that a plug-in host would load.
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
    };

    /** Unpacks the archive (which holds the bundle at its top level) into the install folder,
        replacing the existing bundle. */
    static FormatResult install (int formatIndex, const juce::File& installFolder, const juce::String& bundleName,
                                 const void* archiveData, size_t archiveSize);

    /** Removes the bundle with everything in it. */
    static FormatResult uninstall (int formatIndex, const juce::File& installFolder, const juce::String& bundleName);

    //==============================================================================
    /** The staging folder this process uses for a bundle. Its name starts with a dot and does
        not end in the bundle's extension, so no plug-in host scanning the folder takes it for
        a plug-in, and it carries the process id so that several installers can run at once. */
    static juce::File stagingFolderFor (const juce::File& installFolder, const juce::String& bundleName, int processId);

    /** Removes staging folders of the bundle that were left by processes no longer running.
        Where such a process died in the middle of its swap, with the old bundle moved aside
        and no bundle in place, the old bundle is put back first. Fails when a folder cannot
        be removed, so that nothing of it can mix with a new bundle. */
    static juce::Result recoverAbandonedStagingFolders (const juce::File& installFolder, const juce::String& bundleName);

    static int currentProcessId();
    static bool isProcessAlive (int processId);
};
