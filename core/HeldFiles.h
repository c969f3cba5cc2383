#pragma once

#include <juce_core/juce_core.h>

//==============================================================================
/** Files that another program holds, and what the system offers about them.

    On Windows a module loaded by a running host cannot be deleted, and the folder holding it
    often cannot be moved; the Restart Manager can name the programs that hold it, and a file
    that cannot go now can be queued for removal at the next restart. Elsewhere open files do
    not block a rename or a delete, so no program is named and nothing is queued.
*/
class HeldFiles
{
public:
    HeldFiles() = delete;

    struct Move
    {
        bool moved = false;
        bool inUse = false;     // refused because another program holds the item's files
        juce::String why;       // the system's reason, or the in-use reason
    };

    /** Renames the item in one step, never by copying, and says why it could not. */
    static Move move (const juce::File& from, const juce::File& to);

    /** "program (process id)" for each program that holds a file at or below the item. */
    static juce::StringArray holdersOf (const juce::File& item);

    /** Queues what is left at and below the item for deletion at the next restart; true when
        the system took all of it. */
    static bool removeAtRestart (const juce::File& item);

    /** "Kelvara 2.vst3 is in use by host.exe (1234); close it and run the installer again" */
    static juce::String inUseReason (const juce::String& itemName, const juce::StringArray& holders);
};
