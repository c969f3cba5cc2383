#pragma once

#include "core/InstallRun.h"

//==============================================================================
/** The product's entry under Windows' Apps & features, which Settings, winget and device
    management read to find the product and remove it.

    The entry follows the disk, not what a run meant to do: after every install or uninstall
    run it is rewritten from what status detection finds then, and removed once no format is
    left. Only the Windows build has the system's registry to write to; a Wine prefix's
    registry belongs to Wine, so the Linux build leaves it alone.
*/
class UninstallEntry
{
public:
    UninstallEntry() = delete;

    /** Everything the entry holds. */
    struct Values
    {
        juce::String displayName, displayVersion, publisher, displayIcon, installDate,
                     urlInfoAbout, helpLink, uninstallString, quietUninstallString;
        juce::uint32 estimatedSizeKiB = 0;
        bool noModify = true, noRepair = true;    // the kept copy offers removal only
    };

    /** The values for installed bundles of the given size, written on the given day. */
    static Values valuesFor (juce::int64 installedBytes, const juce::Time& day);

    /** What the entry's subkey is, in the registry paths of the framework. */
    static juce::String keyPath();

    /** The unpacked size of every bundle that is installed, as status detection finds them;
        -1 when none is. The size is the archive's: reading the bundles themselves would hold
        them open just when another installer running at the same time swaps one of them. */
    static juce::int64 installedBytes (const InstallRun::Folders& installFolders, const juce::String& productName);

    /** Writes every value in the machine's 64-bit view of the registry. */
    static juce::Result write (const Values& values);

    /** Removes the subkey; fine when it is not there. */
    static juce::Result remove();

    /** After an install or uninstall run: the kept copy and the entry made to match the disk.
        Returns a note when something could not be done, which never fails the run; empty
        when all went well, and always empty off Windows. */
    static juce::String refresh (const InstallRun::Folders& installFolders, const juce::String& productName);
};
