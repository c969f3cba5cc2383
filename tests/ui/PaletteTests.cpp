#include "TestSupport.h"
#include "ui/Palette.h"

TEST (Palette, ParsesEveryHexTextAsAnOpaqueColour)
{
    const std::pair<juce::Colour, juce::uint32> expected[] {
        { Palette::nearBlack, 0xFF111111 }, { Palette::charcoal,  0xFF171717 },
        { Palette::offWhite,  0xFFF5F5F5 }, { Palette::warmGrey,  0xFFAAA6A6 },
        { Palette::green,     0xFF86CF7A }, { Palette::blue,      0xFF0094D8 },
        { Palette::yellow,    0xFFD3C55F }, { Palette::orange,    0xFFE08A2A },
        { Palette::slate,     0xFF393E44 }, { Palette::deepBlack, 0xFF101316 },
        { Palette::gunmetal,  0xFF21272C }
    };

    for (const auto& [colour, argb] : expected)
        EXPECT_EQ (colour.getARGB(), argb) << colour.toString();
}

TEST (Palette, ReducedAlphasRoundToTheNearestByte)
{
    EXPECT_EQ (Palette::warmGrey.withAlpha (0.5f).getAlpha(), 128);
    EXPECT_EQ (Palette::warmGrey.withAlpha (0.35f).getAlpha(), 89);
    EXPECT_EQ (Palette::blue.withAlpha (0.9f).getAlpha(), 230);
}
