#pragma once

#include <juce_core/juce_core.h>

//==============================================================================
/** Compares an installed bundle with the archive it came from: every file's size and CRC-32,
    and no file or folder more or less. A bundle that a host would load but that differs from
    the archive in any byte is damaged, and an install repairs it.
*/
class BundleVerifier
{
public:
    BundleVerifier() = delete;

    enum class State
    {
        intact,
        damaged,
        absent
    };

    struct Verdict
    {
        State state = State::absent;
        juce::String reason;    // the first difference found; empty unless damaged
    };

    /** The bundle is the item the archive holds at its top level, in its install folder. */
    static Verdict verify (const juce::File& bundle, const void* archiveData, size_t archiveSize);

    /** "intact", "damaged" or "absent". */
    static juce::String stateName (State state);
};
