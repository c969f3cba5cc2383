#pragma once

#include <juce_graphics/juce_graphics.h>

//==============================================================================
/** Where the characters of a laid-out text lie, and which character lies at a point, as
    assistive technology asks to follow a text: magnifiers track a range, braille displays the
    character under a finger. Offsets are those of the string the layout was made from, and
    positions are relative to the layout's own origin.
*/
namespace TextLayoutGeometry
{
    /** One rectangle for each line that holds characters of the range, from its ascent to its
        descent; whitespace where a line wraps takes no room. */
    juce::RectangleList<float> boundsOf (const juce::TextLayout&, const juce::String& laidOutText, juce::Range<int> characters);

    /** Where a caret put at the point would stand, as the framework's text editor answers: the
        offset of the boundary between characters nearest to it, on the line at that height, or
        on the first or last line above or below the text. -1 for a layout without lines. */
    int indexAt (const juce::TextLayout&, const juce::String& laidOutText, juce::Point<float>);
}
