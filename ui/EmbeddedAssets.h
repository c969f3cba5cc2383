#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <array>

//==============================================================================
/** The pictures and release notes compiled into the executable, as the screen uses them; the
    payloads are the install run's business. */
namespace EmbeddedAssets
{
    /** An embedded picture; every one of them is trusted to load. */
    std::unique_ptr<juce::Drawable> loadIcon (const char* data, int size);

    /** An embedded picture with its black turned into the icons' charcoal. */
    std::unique_ptr<juce::Drawable> loadCharcoalIcon (const char* data, int size);

    /** The main screen's pictures: the format icons, the extras and install icons, the release
        notes' icon, the maker's wordmark (which keeps its black) and the failure picture. */
    void loadPictures (std::array<std::unique_ptr<juce::Drawable>, 3>& formatIcons,
                       std::array<std::unique_ptr<juce::Drawable>, 5>& buttonIcons,
                       std::unique_ptr<juce::Drawable>& changelogIcon,
                       std::unique_ptr<juce::Drawable>& logo,
                       std::unique_ptr<juce::Drawable>& warningIcon);

    /** The release notes, decoded afresh, so that a byte-order mark is honoured. */
    juce::String releaseNotes();
}
