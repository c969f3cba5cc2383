#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <array>
#include <vector>

//==============================================================================
/** Where the main screen's children go at a scale, s, a hundredth of the screen's width: every
    value a float multiple of s rounded to the nearest pixel on its own; and the order in which
    the keyboard reaches the buttons.
*/
class MainScreenLayout
{
public:
    using ExtrasButtons = std::array<std::unique_ptr<juce::TextButton>, 5>;
    using FormatButtons = std::array<std::unique_ptr<juce::TextButton>, 3>;

    static void layOut (float s, const ExtrasButtons&, const FormatButtons&, juce::TextButton& installButton,
                        juce::TextButton& selectAllButton, juce::Label& hintLabel, const juce::Typeface::Ptr& typeface);

    /** Reading order: SELECT ALL, the formats, the extras, INSTALL. */
    static std::vector<juce::Component*> readingOrder (const ExtrasButtons&, const FormatButtons&,
                                                       juce::TextButton& installButton, juce::TextButton& selectAllButton);
};
