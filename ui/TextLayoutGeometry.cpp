#include "ui/TextLayoutGeometry.h"

#include <cmath>
#include <limits>

namespace
{
    /** Where the boundary before a character of a run lies, relative to its line's origin: the
        run's start plus the shaped width of the run's characters before it. A layout has no
        glyph for each character (a ligature joins two, and the space where a line wraps has
        none), so the width is measured; that splits a ligature where its parts would end alone,
        and no boundary goes past the run's end. */
    float boundaryX (const juce::TextLayout::Run& run, const juce::String& text, int index)
    {
        const auto extent = run.getRunBoundsX();
        const auto before = text.substring (run.stringRange.getStart(), juce::jmin (index, run.stringRange.getEnd()));

        if (before.isEmpty())
            return extent.getStart();

        return juce::jmin (extent.getStart() + juce::GlyphArrangement::getStringWidth (run.font, before), extent.getEnd());
    }

    juce::Range<float> verticalExtent (const juce::TextLayout::Line& line)
    {
        return { line.lineOrigin.y - line.ascent, line.lineOrigin.y + line.descent };
    }
}

juce::RectangleList<float> TextLayoutGeometry::boundsOf (const juce::TextLayout& layout, const juce::String& text,
                                                         juce::Range<int> characters)
{
    juce::RectangleList<float> bounds;

    for (const auto& line : layout)
    {
        juce::Range<float> xs;
        bool any = false;

        for (const auto* run : line.runs)
        {
            const auto inRun = run->stringRange.getIntersectionWith (characters);

            if (inRun.isEmpty())
                continue;

            const juce::Range<float> extent (boundaryX (*run, text, inRun.getStart()), boundaryX (*run, text, inRun.getEnd()));
            xs = any ? xs.getUnionWith (extent) : extent;
            any = true;
        }

        // Whitespace where the line wraps has no width, and is no place to show.
        if (! any || xs.isEmpty())
            continue;

        const auto ys = verticalExtent (line);
        bounds.addWithoutMerging ({ line.lineOrigin.x + xs.getStart(), ys.getStart(), xs.getLength(), ys.getLength() });
    }

    return bounds;
}

int TextLayoutGeometry::indexAt (const juce::TextLayout& layout, const juce::String& text, juce::Point<float> point)
{
    if (layout.getNumLines() == 0)
        return -1;

    // The line at the point's height; above the text the first, below it the last.
    const auto* chosen = &layout.getLine (0);

    for (const auto& line : layout)
    {
        if (point.y < verticalExtent (line).getStart())
            break;

        chosen = &line;
    }

    // The boundary between characters nearest to the point along the line; on a tie the first.
    const auto x = point.x - chosen->lineOrigin.x;
    auto found = chosen->stringRange.getStart();
    auto nearest = std::numeric_limits<float>::max();

    for (const auto* run : chosen->runs)
    {
        // The boundaries run left to right, so the first at or after the point is searched for;
        // the nearest is it or the one before.
        auto first = run->stringRange.getStart(), last = run->stringRange.getEnd();

        while (first < last)
        {
            const auto middle = (first + last) / 2;

            if (boundaryX (*run, text, middle) < x)
                first = middle + 1;
            else
                last = middle;
        }

        for (const auto index : { first - 1, first })
        {
            if (index < run->stringRange.getStart())
                continue;

            if (const auto distance = std::abs (x - boundaryX (*run, text, index)); distance < nearest)
            {
                nearest = distance;
                found = index;
            }
        }
    }

    return found;
}
