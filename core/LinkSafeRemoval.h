#pragma once

#include <juce_core/juce_core.h>

//==============================================================================
/** Deletes a file from a folder that other programs can write into, such as the user's
    temporary folder, without following a link that someone may have put there.

    The installer runs with administrator rights and shares the temporary folder with
    everything its user runs: a link there, or a temporary folder that is itself a junction,
    must never make it delete a file elsewhere.
*/
class LinkSafeRemoval
{
public:
    LinkSafeRemoval() = delete;

    /** Deletes the file named `name` in `folder` when it is a file, or a link to one: only the
        name goes, never what a link points to, and never a folder.

        On Windows the item is opened as itself (a link is not followed), and deleted through
        that handle only when its final path still lies in `folder`. Elsewhere the name is
        unlinked. Returns true when it was deleted.
    */
    static bool deleteFileIn (const juce::File& folder, const juce::String& name);
};
