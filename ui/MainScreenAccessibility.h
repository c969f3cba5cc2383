#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <array>
#include <vector>

#include "core/InstallEngine.h"

//==============================================================================
/** What the main screen tells assistive technology: every button's title (its caption), its
    description (its hint; for a format its status on disk first, for INSTALL also how to
    remove), a format's toggle state (its selection) and help (its status), all read at the
    moment they are asked for; and the result of an install run in words.
*/
class MainScreenAccessibility
{
public:
    /** The main component's state, borrowed for as long as its buttons live. */
    struct State
    {
        const juce::String& productName;
        const juce::String& productVersion;
        const std::array<juce::File, 3>& installFolders;
        const std::array<bool, 3>& formatSelected;
        const bool& uninstallMode;
    };

    /** Describes the ten buttons among the screen's children. */
    static void describeButtons (juce::Component& screen, State);

    /** What the run did: the caption of the result view, then each format installed or removed,
        and each that failed with the reason. */
    static juce::String describeResult (const std::vector<InstallEngine::FormatResult>&, bool removed);
};
