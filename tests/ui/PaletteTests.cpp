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

namespace
{
    /** What the software renderer leaves where it fills a shape in the colour at the alpha over
        an opaque background. */
    juce::Colour renderedOver (juce::Colour background, juce::Colour colour, float alpha)
    {
        juce::Image image (juce::Image::ARGB, 4, 4, false, juce::SoftwareImageType());
        juce::Graphics g (image);
        g.fillAll (background);
        g.setColour (colour.withAlpha (alpha));
        g.fillRect (0, 0, 4, 4);
        return image.getPixelAt (1, 1);
    }
}

// Every reduced alpha the main screen fills with, over its near-black (17, 17, 17), worked out by
// hand from the renderer's integer blend: the colour premultiplied by the alpha byte with
// rounding, (c * a + 127) / 256, plus the background's share, 17 * (256 - a) / 256, truncated.
// The alpha bytes are the nearest to a * 255: 26, 89, 128, 191, 230.
TEST (Palette, ReducedAlphasOverTheBackgroundGiveTheRenderersFigures)
{
    struct Case { juce::Colour colour; float alpha; juce::uint8 r, g, b; };
    const Case cases[] {
        { Palette::warmGrey, 0.1f,   32,  32,  32 },
        { Palette::warmGrey, 0.35f,  70,  69,  69 },
        { Palette::warmGrey, 0.5f,   93,  91,  91 },
        { Palette::warmGrey, 0.75f, 131, 128, 128 },
        { Palette::blue,     0.9f,    1, 134, 195 },
        { Palette::orange,   0.9f,  202, 125,  39 },
        { Palette::blue,     1.0f,    0, 148, 216 },
        { Palette::orange,   1.0f,  224, 138,  42 },
    };

    for (const auto& c : cases)
    {
        const juce::Colour expected (c.r, c.g, c.b);
        const auto blended = Palette::blendedOver (Palette::nearBlack, c.colour, c.alpha);

        EXPECT_EQ (blended.toDisplayString (true), expected.toDisplayString (true)) << c.colour.toString() << " at " << c.alpha;
        EXPECT_EQ (renderedOver (Palette::nearBlack, c.colour, c.alpha).toDisplayString (true), expected.toDisplayString (true))
            << "the renderer itself, " << c.colour.toString() << " at " << c.alpha;
    }
}
