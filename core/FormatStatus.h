#pragma once

#include <juce_core/juce_core.h>

//==============================================================================
/** What is on the disk for one format, judged afresh on every call: nothing is cached, so
    the screen follows whatever other programs do to the bundles. */
struct FormatStatus
{
    bool installed = false;          // the bundle exists
    juce::String installedVersion;   // from the module's version resource; may be empty
    bool needsUpdate = false;        // a version was read and it is older than the product's

    /** "NOT INSTALLED", "v2.4.3.0 INSTALLED", "INSTALLED" or "v2.4.2.0 NEEDS UPDATE". */
    juce::String getStatusText() const;

    static FormatStatus detect (const juce::File& installFolder, const juce::String& productName,
                                const juce::String& productVersion, int formatIndex);

    /** True when the installed version ranks below the product version, comparing runs of
        digits as numbers and letters without regard to case. */
    static bool isOlder (const juce::String& installedVersion, const juce::String& productVersion);

    /** Compares two releases number by number, a missing number counting as 0, so that
        2.4.3.0 is the same release as 2.4.3: negative, 0 or positive as a is older, the same
        or newer. */
    static int compareReleases (const juce::String& a, const juce::String& b);
};
