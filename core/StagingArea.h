#pragma once

#include <juce_core/juce_core.h>

#include <functional>

//==============================================================================
/** The hidden folders beside a bundle in which the install engine assembles a new bundle, sets
    the old one aside during the swap and deletes what goes: how they are named, made, discarded
    and, after a run that was stopped, recovered.

    A staging folder's name starts with a dot and does not end in the bundle's extension, so no
    plug-in host scanning the folder takes it for a plug-in, and it carries the process id so
    that several installers can run at once.
*/
class StagingArea
{
public:
    StagingArea() = delete;

    /** Told, a line at a time, what happens to the folders. */
    using Log = std::function<void (const juce::String&)>;

    // Inside a staging folder: the new bundle until it moves into place, under a name no
    // host takes for a plug-in; the bundles a swap moved aside, which a stopped run's
    // successor may put back; and what is only waiting to be deleted, which nothing puts back.
    static constexpr const char* incomingName  = "incoming";
    static constexpr const char* asidePrefix   = "previous-";
    static constexpr const char* removedPrefix = "removed-";

    /** The staging folder a process uses for a bundle. Where an earlier process of the same
        id left a folder of that name that cannot be removed, a run takes the same name
        followed by "-" and a number (see freshFolder). */
    static juce::File folderFor (const juce::File& installFolder, const juce::String& bundleName, int processId);

    /** A staging folder of this process that does not exist yet; none after too many. */
    static juce::File freshFolder (const juce::File& installFolder, const juce::String& bundleName);

    /** Deletes a staging folder with everything in it. Bundles moved aside are first renamed
        as removed, so that a half-deleted one is never put back in place. Where something
        cannot go, it is queued for the next restart where the system offers that, and the
        returned note says what is left and why; empty when all of it went. */
    static juce::String discard (const juce::File& staging, const juce::String& whatIsLeft, const Log& log);

    /** Removes staging folders of the bundle that were left by processes no longer running,
        or by an earlier process with this one's id. Where such a process died in the middle
        of its swap, with the old bundle moved aside and no bundle in place, the old bundle is
        put back first. Returns the folders that could not be removed yet; they stay out of
        every later bundle's way and are tried again by the next run. */
    static juce::Array<juce::File> recoverAbandonedFolders (const juce::File& installFolder, const juce::String& bundleName,
                                                            const Log& log = {});

    /** The note for leftovers of earlier runs that are still there; empty when there are none. */
    static juce::String leftoversNote (const juce::Array<juce::File>& leftovers);

    /** Whether something is at the path: an item, or a link to nothing. */
    static bool isThere (const juce::File& item);

    static int currentProcessId();
    static bool isProcessAlive (int processId);
};
