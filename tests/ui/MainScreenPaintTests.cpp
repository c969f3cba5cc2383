#include "TestSupport.h"
#include "ui/MainComponent.h"
#include "ui/Palette.h"
#include "core/InstallPathSettings.h"
#include "ui/ComponentLookup.h"

#include <PayloadArchives.h>
#include <cmath>

namespace
{
    // The reduced-alpha fills as the software renderer blends them over the near-black (17, 17, 17),
    // worked out by hand: each channel of the colour times the alpha byte, plus 127, over 256,
    // truncated; plus the background's 17 times (256 - alpha), over 256, truncated. For warm grey
    // (170, 166, 166) at 128: 21887 / 256 = 85 and 21375 / 256 = 83, plus 2176 / 256 = 8.
    const juce::Colour greyAtHalf           (93, 91, 91);      // alpha 128
    const juce::Colour greyAtTenth          (32, 32, 32);      // alpha 26
    const juce::Colour greyAtThirtyFive     (70, 69, 69);      // alpha 89
    const juce::Colour blueAtNinetenths     (1, 134, 195);     // (0, 148, 216) at 230
    const juce::Colour orangeAtNinetenths   (202, 125, 39);    // (224, 138, 42) at 230

    ::testing::AssertionResult exactly (juce::Colour actual, juce::Colour expected)
    {
        if (actual.getARGB() == expected.getARGB())
            return ::testing::AssertionSuccess();

        return ::testing::AssertionFailure() << "colour " << actual.toDisplayString (true)
                                             << ", expected " << expected.toDisplayString (true);
    }

    ::testing::AssertionResult near (juce::Colour actual, juce::Colour expected, int tolerance = 2)
    {
        const auto diff = std::max ({ std::abs (actual.getRed() - expected.getRed()),
                                      std::abs (actual.getGreen() - expected.getGreen()),
                                      std::abs (actual.getBlue() - expected.getBlue()) });

        if (diff <= tolerance)
            return ::testing::AssertionSuccess();

        return ::testing::AssertionFailure() << "colour " << actual.toDisplayString (false)
                                             << ", expected " << expected.toDisplayString (false);
    }

    /** How many pixels of a region are close to a colour. */
    int count (const juce::Image& image, juce::Rectangle<int> area, juce::Colour colour, int tolerance = 8)
    {
        int n = 0;

        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                if (near (image.getPixelAt (x, y), colour, tolerance))
                    ++n;

        return n;
    }

    /** WCAG's relative luminance of an sRGB colour. */
    double relativeLuminance (juce::Colour c)
    {
        const auto linear = [] (juce::uint8 channel)
        {
            const auto v = channel / 255.0;
            return v <= 0.04045 ? v / 12.92 : std::pow ((v + 0.055) / 1.055, 2.4);
        };

        return 0.2126 * linear (c.getRed()) + 0.7152 * linear (c.getGreen()) + 0.0722 * linear (c.getBlue());
    }

    /** How far the most luminous pixel of the area, a glyph's fully covered core, stands out
        from the background, by WCAG's contrast ratio. */
    double textContrast (const juce::Image& image, juce::Rectangle<int> area, juce::Colour background)
    {
        auto brightest = 0.0;

        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                brightest = std::max (brightest, relativeLuminance (image.getPixelAt (x, y)));

        return (brightest + 0.05) / (relativeLuminance (background) + 0.05);
    }

    /** VST3 outdated, CLAP current, AAX absent. */
    void installMixedState (const ScopedWinePrefix& prefix)
    {
        const auto vst3Module = prefix.commonFiles().getChildFile ("VST3/Kelvara 2.vst3/Contents/x86_64-win/Kelvara 2.vst3");
        vst3Module.getParentDirectory().createDirectory();
        juce::File (OV_TEST_DATA_DIR "/modules/version_2.4.2.9.dll").copyFileTo (vst3Module);

        juce::ZipFile clap (new juce::MemoryInputStream (PayloadArchives::clap_zip, (size_t) PayloadArchives::clap_zipSize, false), true);
        clap.uncompressTo (prefix.commonFiles().getChildFile ("CLAP"));
    }

    juce::Image snapshot (MainComponent& main)
    {
        return main.createComponentSnapshot (main.getLocalBounds(), true, 1.0f);
    }

    void expectFrame (const juce::Image& image, float s)
    {
        const auto at = [s] (float u) { return juce::roundToInt (u * s); };
        const auto w = image.getWidth();

        EXPECT_TRUE (near (image.getPixelAt (at (50), at (68)), Palette::nearBlack)) << "background";
        EXPECT_TRUE (near (image.getPixelAt (at (50), (int) (s * 0.5f)), Palette::blue)) << "top strip";
        EXPECT_TRUE (near (image.getPixelAt (at (50), (int) s + 1), Palette::nearBlack)) << "below the strip";

        // Corner dots, sampled at their centres.
        for (const auto& [dx, dy] : { std::pair (1.5f, 1.5f), std::pair (1.5f, 3.5f), std::pair (3.5f, 1.5f) })
            EXPECT_TRUE (exactly (image.getPixelAt (w - at (dx), w - at (dy)), greyAtHalf))
                << "dot " << dx << "," << dy;

        // The two rules, sampled in a pixel row they cover fully.
        EXPECT_TRUE (near (image.getPixelAt (at (50), (int) std::ceil (27.5f * s)), Palette::warmGrey)) << "formats rule";
        EXPECT_TRUE (near (image.getPixelAt (at (50), (int) std::ceil (71.5f * s)), Palette::warmGrey)) << "extras rule";

        // Captions: warm grey text where they stand, nothing just left of them.
        EXPECT_GT (count (image, { at (4), at (22), at (16), at (4) }, Palette::warmGrey), 20) << "FORMATS";
        EXPECT_GT (count (image, { at (4), at (66), at (14), at (4) }, Palette::warmGrey), 20) << "EXTRAS";
        EXPECT_EQ (count (image, { 0, at (22), at (3), at (4) }, Palette::warmGrey), 0);

        // Extras and INSTALL bodies at rest, beside their icons.
        for (const auto x : { 4.0f, 15.5f, 27.0f, 38.5f, 50.0f, 86.0f })
            EXPECT_TRUE (exactly (image.getPixelAt (at (x + 0.7f), at (78.5f)), greyAtHalf))
                << "button at " << x;
    }
}

class MainScreen : public ::testing::TestWithParam<int> {};

TEST_P (MainScreen, NormalViewShowsEachFormatsStateAndSelection)
{
    ScopedWinePrefix prefix;
    installMixedState (prefix);

    MainComponent main;
    main.setSize (GetParam(), GetParam());
    const auto s = main.getScale();
    const auto at = [s] (float u) { return juce::roundToInt (u * s); };

    main.buttonClicked (buttonNamed (main, "CLAP"));   // deselect CLAP
    const auto image = snapshot (main);

    expectFrame (image, s);

    // Row backgrounds, sampled right of the text in each row.
    EXPECT_TRUE (exactly (image.getPixelAt (at (45), at (31.5f)), orangeAtNinetenths)) << "VST3 needs update";
    EXPECT_TRUE (exactly (image.getPixelAt (at (92), at (31.5f)), blueAtNinetenths)) << "CLAP installed";
    EXPECT_TRUE (exactly (image.getPixelAt (at (45), at (43.5f)), greyAtThirtyFive)) << "AAX absent";

    // The selection outline: VST3 selected, CLAP deselected, AAX never selected.
    EXPECT_TRUE (near (image.getPixelAt (at (4) - 1, at (35)), Palette::yellow)) << "VST3 outline";
    EXPECT_TRUE (near (image.getPixelAt (at (51) - 1, at (35)), Palette::nearBlack)) << "no CLAP outline";
    EXPECT_TRUE (near (image.getPixelAt (at (4) - 1, at (47)), Palette::nearBlack)) << "no AAX outline";

    // Near-black text in the rows, and the SELECT ALL button at alpha 0.1.
    EXPECT_GT (count (image, { at (15.5f), at (31.5f), at (10), at (3) }, Palette::nearBlack, 20), 3) << "VST3 name";
    EXPECT_TRUE (exactly (image.getPixelAt (at (78), at (23)), greyAtTenth)) << "SELECT ALL";

    // The hint line at half strength: its fullest pixels are warm grey at 128.
    const auto hintArea = hintLabelOf (main)->getBounds();
    EXPECT_GT (count (image, hintArea, greyAtHalf, 1), 0);
    EXPECT_EQ (count (image, hintArea, Palette::warmGrey, 40), 0);
}

TEST_P (MainScreen, SuccessViewReplacesTheRowsWithTheGreenPicture)
{
    ScopedWinePrefix prefix;
    MainComponent main;
    main.setSize (GetParam(), GetParam());
    const auto s = main.getScale();
    const auto at = [s] (float u) { return juce::roundToInt (u * s); };

    main.buttonClicked (buttonNamed (main, "INSTALL"));   // nothing selected: success
    const auto image = snapshot (main);

    expectFrame (image, s);
    EXPECT_GT (count (image, { at (16), at (40), at (68), at (14) }, Palette::green, 4), 50) << "green picture";
    EXPECT_GT (count (image, { at (4), at (58), at (92), at (8) }, Palette::offWhite, 20), 50) << "caption";
    EXPECT_EQ (count (image, { at (4), at (30), at (92), at (22) }, Palette::warmGrey, 30), 0) << "no rows";

    // The INSTALL button's own icon stays charcoal.
    EXPECT_GT (count (image, { at (87.5f), at (75), at (7), at (7) }, Palette::charcoal, 2), 20);
    EXPECT_EQ (count (image, { at (86), at (73.5f), at (10), at (10) }, Palette::green, 10), 0);
}

TEST_P (MainScreen, FailureViewShowsTheWarningAndTheReason)
{
    ScopedWinePrefix prefix;
    prefix.makerFolder().createDirectory();
    prefix.driveC().getChildFile ("Blocked").replaceWithText ("a file where the folder belongs");
    InstallPathSettings::settingsFileIn (prefix.makerFolder()).replaceWithText ("<Plugin_Manager_Settings CLAP_Path=\"C:\\Blocked\"/>");

    MainComponent main;
    main.setSize (GetParam(), GetParam());
    const auto s = main.getScale();
    const auto at = [s] (float u) { return juce::roundToInt (u * s); };

    main.buttonClicked (buttonNamed (main, "CLAP"));
    main.buttonClicked (buttonNamed (main, "INSTALL"));
    const auto image = snapshot (main);

    EXPECT_GT (count (image, { at (16), at (40), at (68), at (14) }, Palette::orange, 4), 50) << "warning picture";
    EXPECT_EQ (count (image, { at (16), at (40), at (68), at (14) }, Palette::green, 4), 0) << "no success picture";
    EXPECT_GT (count (image, { at (4), at (58), at (92), at (8) }, Palette::offWhite, 20), 50) << "caption";

    auto* hint = hintLabelOf (main);
    ASSERT_NE (hint, nullptr);
    ASSERT_EQ (main.getFormatResults().size(), 1u);
    EXPECT_EQ (hint->getText(), main.getFormatResults()[0].reason);
    EXPECT_TRUE (hint->getText().isNotEmpty());

    // The reason reads at WCAG AA for text or better; the hints' half strength would not.
    const auto background = image.getPixelAt (hint->getX(), hint->getY());
    EXPECT_TRUE (exactly (background, Palette::nearBlack));
    EXPECT_GE (textContrast (image, hint->getBounds(), background), 4.5);
    EXPECT_LT ((relativeLuminance (greyAtHalf) + 0.05) / (relativeLuminance (background) + 0.05), 4.5);
}

INSTANTIATE_TEST_SUITE_P (AtSixAndNineHundredPixels, MainScreen, ::testing::Values (600, 900));
