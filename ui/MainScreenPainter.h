#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <array>
#include <vector>

#include "core/InstallEngine.h"

//==============================================================================
/** Everything the main screen's painting reads, borrowed from the component that owns it.

    The view owns nothing and changes nothing, with two exceptions that painting undoes before it
    returns: the wordmark and the install icon are recoloured for the moment they are drawn. The
    header layer is a cache of pixels that depend on the size alone.
*/
struct MainScreenView
{
    float scale;
    juce::Rectangle<int> bounds;

    const juce::String& productName;
    const juce::String& productVersion;
    const juce::String& platformSuffix;
    const juce::Typeface::Ptr& typeface;

    const std::array<std::unique_ptr<juce::TextButton>, 5>& extrasButtons;
    const std::array<std::unique_ptr<juce::TextButton>, 3>& formatButtons;
    const juce::TextButton& installButton;
    const juce::TextButton& selectAllButton;

    const std::array<std::unique_ptr<juce::Drawable>, 3>& formatIcons;
    const std::array<std::unique_ptr<juce::Drawable>, 5>& buttonIcons;
    juce::Drawable& logo;
    const juce::Drawable& changelogIcon;
    const juce::Drawable& warningIcon;

    const std::array<bool, 3>& formatSelected;
    const std::array<juce::File, 3>& installFolders;
    const std::vector<InstallEngine::FormatResult>& formatResults;
    bool uninstallMode;
    bool installFinished;

    juce::Image& headerLayer;
};

//==============================================================================
/** Paints the main screen from a view of its state. It keeps nothing between paintings: every
    rectangle comes from the scale and the buttons' bounds, every colour from the buttons' mouse
    state and the formats' status on disk at this moment.
*/
class MainScreenPainter
{
public:
    static void paint (juce::Graphics&, const MainScreenView&);

    /** The caption of the result view: "SUCCESS!", or the formats that failed. */
    static juce::String resultCaption (const std::vector<InstallEngine::FormatResult>&);

private:
    static void paintUnchangingLayer (juce::Graphics&, const MainScreenView&);
    static void paintHeaderBand (juce::Graphics&, const MainScreenView&);
    static void paintHeader (juce::Graphics&, const MainScreenView&);
    static void paintExtrasButton (juce::Graphics&, const MainScreenView&, int extrasIndex);
    static void paintInstallButton (juce::Graphics&, const MainScreenView&);
    static void paintResultView (juce::Graphics&, const MainScreenView&);
    static void paintSelectAllButton (juce::Graphics&, const MainScreenView&);
    static void paintFormatRow (juce::Graphics&, const MainScreenView&, int formatIndex);
    static void paintFocusRing (juce::Graphics&, const MainScreenView&);
};
