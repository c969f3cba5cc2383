#pragma once

#include <juce_core/juce_core.h>

//==============================================================================
/** Puts one format's bundle onto the disk from its archive, or takes it off.

    An install never leaves the user without a working bundle: the archive is unpacked into a
    staging folder beside the bundle, and only when every entry is out is the old bundle
    swapped for the new one. A failure anywhere removes the staging folder and leaves the old
    bundle exactly as it was.
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

    /** Removes staging folders of the bundle that were left by processes no longer running. */
    static void removeAbandonedStagingFolders (const juce::File& installFolder, const juce::String& bundleName);

    static int currentProcessId();
    static bool isProcessAlive (int processId);
};
