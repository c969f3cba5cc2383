#pragma once

#include <juce_core/juce_core.h>

//==============================================================================
/** The copy of the installer that Windows' Apps & features entry runs to remove the product,
    kept in the maker's folder under Program Files, since the downloaded installer may be
    deleted or moved long before anyone removes the product.

    Which copy to keep is judged by the executables' version resources, so it works on any
    platform; only the Windows build keeps one.
*/
class KeptCopy
{
public:
    KeptCopy() = delete;

    /** C:\Program Files\Orvanta\Kelvara 2\ov_installer.exe; off Windows, the empty path. */
    static juce::File location();

    /** The executable of this process. */
    static juce::File runningExecutable();

    /** Puts a copy of the source at the target, unless the target is the source itself or
        already holds the same release or a newer one. The copy is written under a temporary
        name beside the target and renamed over it, so that the target is never half-written. */
    static juce::Result refresh (const juce::File& source, const juce::File& target);

    /** Removes the copy and its folder (and the maker's folder, if nothing else is in it).
        A running program cannot delete its own file, so when the copy is the one running,
        or cannot be deleted now, they are queued for removal at the next restart. */
    static juce::Result retire (const juce::File& copy, bool isRunning);

    /** Takes the copy and its folders off the list of what goes at the next restart, where an
        earlier removal put them, so that installing again before the restart keeps a copy for
        the entry to run. True when nothing of them is queued any more. */
    static bool cancelRemovalAtRestart (const juce::File& copy);

    /** The name the copy is written under before it is renamed into place. */
    static juce::File temporaryFor (const juce::File& target);
};
