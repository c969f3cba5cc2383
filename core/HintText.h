#pragma once

#include <juce_core/juce_core.h>
#include <optional>

//==============================================================================
/** The line of help under the main screen: what a click on the button under the mouse does. */
namespace HintText
{
    /** The hint for a button by its component name, or nothing when the line should keep what
        it shows (SELECT_ALL and unknown names). For the format buttons the wording depends on
        whether the format's bundle is on the disk right now. */
    std::optional<juce::String> forButton (const juce::String& buttonName,
                                           bool formatBundleExists,
                                           const juce::String& productVersion);
}
