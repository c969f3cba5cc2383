#include "TestSupport.h"
#include "ui/MainComponent.h"
#include "ui/Palette.h"
#include "ui/ComponentLookup.h"
#include "core/ProductDefinition.h"

namespace
{
    /** An opened panel lies over the whole main screen and stays above its other children. */
    void expectCoversTheScreen (const MainComponent& main, const juce::Component& panel)
    {
        EXPECT_EQ (panel.getBounds(), main.getLocalBounds());
        EXPECT_TRUE (panel.isAlwaysOnTop());
    }

    void clickPanelButton (juce::Component& panel, const juce::String& name)
    {
        dynamic_cast<juce::Button::Listener&> (panel).buttonClicked (buttonNamed (panel, name));
    }

    juce::Image snapshot (juce::Component& component)
    {
        return component.createComponentSnapshot (component.getLocalBounds(), true, 1.0f);
    }

    int brightestRed (const juce::Image& image, juce::Rectangle<int> area)
    {
        int brightest = 0;

        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                brightest = std::max (brightest, (int) image.getPixelAt (x, y).getRed());

        return brightest;
    }

    int pixelsLike (const juce::Image& image, juce::Rectangle<int> area, juce::Colour colour, int tolerance = 6)
    {
        int n = 0;

        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
            {
                const auto c = image.getPixelAt (x, y);
                if (std::abs (c.getRed() - colour.getRed()) <= tolerance
                    && std::abs (c.getGreen() - colour.getGreen()) <= tolerance
                    && std::abs (c.getBlue() - colour.getBlue()) <= tolerance)
                    ++n;
            }

        return n;
    }

    /** Warm grey (170, 166, 166) at alpha 128 as the renderer blends it over the near-black:
        (170 * 128 + 127) / 256 = 85 plus 17 * 128 / 256 = 8, and likewise for 166. */
    juce::Colour halfGrey()
    {
        return { 93, 91, 91 };
    }

    /** Pixels of text or drawing in a region: clearly brighter than the background. */
    int inked (const juce::Image& image, juce::Rectangle<int> area)
    {
        return (area.getWidth() * area.getHeight()) - pixelsLike (image, area, Palette::nearBlack, 30);
    }

    /** The frame as every panel paints it at s = 6: background, heading, and the glyph at rest. */
    void expectFrameAtRest (const juce::Image& image, bool withHeading)
    {
        EXPECT_EQ (image.getPixelAt (300, 4), Palette::nearBlack);
        EXPECT_EQ (image.getPixelAt (4, 595), Palette::nearBlack);

        // The heading stands on its baseline at 36, from x 24, in off-white.
        EXPECT_EQ (pixelsLike (image, { 24, 12, 150, 25 }, Palette::offWhite) > 40, withHeading);
        EXPECT_EQ (pixelsLike (image, { 0, 12, 23, 25 }, Palette::offWhite), 0);
        EXPECT_EQ (pixelsLike (image, { 24, 38, 150, 8 }, Palette::offWhite), 0) << "nothing below the baseline";

        // The ring and its X at half strength, and nothing outside the ring's box.
        const auto ring = juce::Rectangle<int> (539, 20, 26, 26);
        EXPECT_NEAR (brightestRed (image, ring), halfGrey().getRed(), 3);
        EXPECT_GT (pixelsLike (image, ring, halfGrey(), 3), 20);
        EXPECT_EQ (brightestRed (image, { 528, 9, 48, 10 }), Palette::nearBlack.getRed());
        EXPECT_EQ (image.getPixelAt (552, 27), Palette::nearBlack) << "inside the ring, above the X";
    }
}

//==============================================================================
TEST (LicencePanel, CoversTheScreenWithTheAgreementAtTheGridsPositions)
{
    ScopedWinePrefix prefix;
    MainComponent main;

    auto* panel = open<panel_eula> (main, "EULA");
    ASSERT_NE (panel, nullptr);
    expectCoversTheScreen (main, *panel);
    EXPECT_EQ (main.getChildren().getLast(), panel);
    EXPECT_FLOAT_EQ (panel->scale, 6.0f);

    auto* editor = childOfType<juce::TextEditor> (*panel);
    auto* close = buttonNamed (*panel, "X");
    ASSERT_TRUE (editor != nullptr && close != nullptr);

    EXPECT_EQ (editor->getBounds(), juce::Rectangle<int> (24, 72, 552, 480));
    EXPECT_EQ (close->getBounds(), juce::Rectangle<int> (528, 9, 48, 48));
    EXPECT_EQ (close->getAlpha(), 0.0f);
    EXPECT_TRUE (close->getButtonText().isEmpty());
    EXPECT_EQ (panel->getIndexOfChildComponent (close), 1) << "the close button lies above the text";

    EXPECT_EQ (editor->getText(), eulaText);
    EXPECT_TRUE (editor->isMultiLine());
    EXPECT_FALSE (editor->isReadOnly());
    EXPECT_EQ (editor->findColour (juce::TextEditor::textColourId), Palette::warmGrey);
    EXPECT_EQ (editor->findColour (juce::TextEditor::outlineColourId), Palette::nearBlack);
    EXPECT_EQ (editor->findColour (juce::TextEditor::focusedOutlineColourId), Palette::nearBlack);

    expectFrameAtRest (snapshot (*panel), true);
}

TEST (LicencePanel, ClosingDetachesItAndReopeningBuildsAFreshOne)
{
    ScopedWinePrefix prefix;
    MainComponent main;

    auto* first = open<panel_eula> (main, "EULA");
    ASSERT_NE (first, nullptr);
    juce::Component::SafePointer<juce::Component> firstPanel (first);
    childOfType<juce::TextEditor> (*first)->setText ("typed over");

    clickPanelButton (*first, "X");
    EXPECT_EQ (childOfType<panel_eula> (main), nullptr);
    EXPECT_NE (firstPanel.getComponent(), nullptr) << "closing does not delete the panel";

    auto* second = open<panel_eula> (main, "EULA");
    ASSERT_NE (second, nullptr);
    EXPECT_EQ (firstPanel.getComponent(), nullptr) << "the next opening deletes the old panel";
    EXPECT_EQ (childOfType<juce::TextEditor> (*second)->getText(), eulaText);
}

TEST (LicencePanel, FollowsTheWindowsSizeWhileShownOrDetached)
{
    ScopedWinePrefix prefix;
    MainComponent main;

    auto* panel = open<panel_eula> (main, "EULA");
    ASSERT_NE (panel, nullptr);
    main.setSize (900, 900);

    EXPECT_FLOAT_EQ (panel->scale, 9.0f);
    EXPECT_EQ (panel->getBounds(), juce::Rectangle<int> (0, 0, 900, 900));
    EXPECT_EQ (childOfType<juce::TextEditor> (*panel)->getBounds(), juce::Rectangle<int> (36, 108, 828, 720));
    EXPECT_EQ (buttonNamed (*panel, "X")->getBounds(), juce::Rectangle<int> (792, 14, 72, 72));
}

//==============================================================================
TEST (SupportPanel, TakesTheOpenersValuesBeforeItIsLaidOut)
{
    ScopedWinePrefix prefix;
    MainComponent main;

    auto* panel = open<panel_support> (main, "SUPPORT");
    ASSERT_NE (panel, nullptr);
    expectCoversTheScreen (main, *panel);
    EXPECT_EQ (panel->productName, "Kelvara 2");
    EXPECT_EQ (panel->productVersion, "2.4.3");
    EXPECT_EQ (panel->settingsFolder, main.getSettingsFolder());

    EXPECT_EQ (buttonNamed (*panel, "X")->getBounds(), juce::Rectangle<int> (528, 9, 48, 48));
    EXPECT_EQ (buttonNamed (*panel, "DISCORD")->getBounds(), juce::Rectangle<int> (60, 90, 60, 60));
    EXPECT_EQ (buttonNamed (*panel, "MAIL")->getBounds(), juce::Rectangle<int> (60, 210, 60, 60));

    for (const auto* name : { "X", "DISCORD", "MAIL" })
        EXPECT_EQ (buttonNamed (*panel, name)->getAlpha(), 0.0f) << name;

    const auto image = snapshot (*panel);
    expectFrameAtRest (image, false);

    // Plates at half strength away from their icons and rounded corners; the icons drawn on them.
    EXPECT_EQ (pixelsLike (image, { 62, 140, 6, 6 }, halfGrey(), 3), 36);
    EXPECT_EQ (pixelsLike (image, { 112, 212, 6, 6 }, halfGrey(), 3), 36);
    EXPECT_EQ (image.getPixelAt (60, 90), Palette::nearBlack) << "rounded corner";
    EXPECT_GT (pixelsLike (image, { 72, 102, 36, 36 }, Palette::charcoal, 10), 100) << "charcoal chat icon";
    EXPECT_GT (inked (image, { 132, 90, 420, 60 }), 500) << "the DISCORD paragraph";
    EXPECT_NEAR (brightestRed (image, { 132, 90, 420, 60 }), Palette::warmGrey.getRed(), 3);
    EXPECT_GT (pixelsLike (image, { 60, 42, 150, 30 }, Palette::offWhite), 50) << "the DISCORD caption";
    EXPECT_GT (inked (image, { 60, 390, 480, 100 }), 1000) << "the about text";
    EXPECT_GT (inked (image, { 60, 514, 200, 18 }), 100) << "the closing line";
    EXPECT_EQ (inked (image, { 60, 533, 200, 60 }), 0) << "nothing below the closing line";
}

TEST (SupportPanel, AboutTextNamesTheSettingsFileWithAForwardSlash)
{
    const auto folder = juce::File ("/tmp/prefix/drive_c/ProgramData/Orvanta");

    EXPECT_EQ (panel_support::aboutText (folder),
               juce::String ("The Orvanta Plugin Manager v1.2.0 cross-platform installater. \nFeel free to drop us a line if you have "
                             "any suggestions or questions concerning its use. You can edit the default installation paths in the "
                             "text file found at /tmp/prefix/drive_c/ProgramData/Orvanta/PluginManagerSettings.txt"));
    EXPECT_EQ (panel_support::closingLine(), juce::String (juce::CharPointer_UTF8 ("\xc2\xa9 2021-2026  Orvanta")));
}

TEST (SupportPanel, OnlyTheCloseButtonClosesIt)
{
    ScopedWinePrefix prefix;
    MainComponent main;

    auto* panel = open<panel_support> (main, "SUPPORT");
    ASSERT_NE (panel, nullptr);

    // Not DISCORD or MAIL here: those hand links to the desktop, which the GUI tests record.
    juce::TextButton stranger ("other");
    stranger.setName ("OTHER");
    panel->buttonClicked (&stranger);
    EXPECT_EQ (childOfType<panel_support> (main), panel);

    clickPanelButton (*panel, "X");
    EXPECT_EQ (childOfType<panel_support> (main), nullptr);
}

//==============================================================================
namespace
{
    int countOf (const panel_changelog::ChangelogContent& content, panel_changelog::BlockType type)
    {
        int n = 0;

        for (const auto& block : content.getRenderedBlocks())
            n += block.type == type ? 1 : 0;

        return n;
    }
}

TEST (ReleaseNotesPanel, LaysOutTheEmbeddedNotesBesideTheScrollBar)
{
    ScopedWinePrefix prefix;
    MainComponent main;

    auto* panel = open<panel_changelog> (main, "CHANGES");
    ASSERT_NE (panel, nullptr);
    expectCoversTheScreen (main, *panel);
    EXPECT_EQ (buttonNamed (*panel, "X")->getBounds(), juce::Rectangle<int> (528, 9, 48, 48));

    const auto& viewport = panel->getViewport();
    const auto& content = panel->getContent();
    EXPECT_EQ (viewport.getBounds(), juce::Rectangle<int> (24, 72, 552, 480));
    EXPECT_EQ (viewport.getViewedComponent(), &content);
    EXPECT_FALSE (viewport.isHorizontalScrollBarShown());

    // Taller than the view, so the bar shows and the text wraps beside it, not under it.
    EXPECT_GT (content.getHeight(), 480);
    EXPECT_EQ (viewport.getMaximumVisibleWidth(), 552 - viewport.getScrollBarThickness()) << "the bar is shown";
    EXPECT_EQ (content.getWidth(), viewport.getMaximumVisibleWidth());
    EXPECT_EQ (content.getWidth(), 552 - viewport.getScrollBarThickness());

    const auto& rendered = content.getRenderedBlocks();
    ASSERT_EQ (rendered.size(), panel->getBlocks().size());
    EXPECT_EQ (rendered.front().type, MarkdownParser::heading2);
    EXPECT_FLOAT_EQ (rendered.front().y, 12.0f);
    EXPECT_EQ (rendered.front().text.getAttribute (0).font.getHeight(), 24.0f);
    EXPECT_TRUE (rendered.front().text.getAttribute (0).font.isBold());
    EXPECT_EQ (rendered.front().text.getAttribute (0).colour, Palette::offWhite);

    float bottom = 0.0f;

    for (const auto& block : rendered)
    {
        if (block.type == MarkdownParser::bullet)
        {
            EXPECT_FLOAT_EQ (block.indent, 24.0f);
            EXPECT_EQ (block.text.getAttribute (0).font.getHeight(), 18.0f);
            EXPECT_EQ (block.text.getAttribute (0).colour, Palette::warmGrey);
        }

        if (block.type == MarkdownParser::blank)
        {
            EXPECT_FLOAT_EQ (block.height, 9.0f);
        }

        EXPECT_GE (block.y, bottom) << "blocks do not overlap";
        bottom = block.y + block.height;
    }

    EXPECT_EQ (countOf (content, MarkdownParser::heading2), 9);
    EXPECT_EQ (content.getHeight(), juce::roundToInt (rendered.back().y + rendered.back().height + 6.0f));
}

TEST (ReleaseNotesPanel, BoldLabelsAreTheirOwnRuns)
{
    panel_changelog panel ("Title\n- **Fixed:** a crash\nUse `x`\n", "Kelvara 2");
    panel.scale = 6.0f;
    panel.setBounds (0, 0, 600, 600);

    const auto& rendered = panel.getContent().getRenderedBlocks();
    ASSERT_EQ (rendered.size(), 3u);

    const auto& bullet = rendered[0].text;
    ASSERT_EQ (bullet.getNumAttributes(), 2);
    EXPECT_EQ (bullet.getText(), "Fixed: a crash");
    EXPECT_EQ (bullet.getAttribute (0).range, juce::Range<int> (0, 6));
    EXPECT_TRUE (bullet.getAttribute (0).font.isBold());
    EXPECT_FALSE (bullet.getAttribute (1).font.isBold());

    EXPECT_EQ (rendered[1].text.getText(), "Use `x`");
    EXPECT_FLOAT_EQ (rendered[0].y, 6.0f);
    EXPECT_FLOAT_EQ (rendered[1].y, rendered[0].y + rendered[0].height + 1.8f);

    // Short notes need no scroll bar and take the view's whole width.
    EXPECT_EQ (panel.getContent().getWidth(), 552);
    EXPECT_EQ (panel.getViewport().getMaximumVisibleWidth(), 552) << "no bar";
}

TEST (ReleaseNotesPanel, AnEmptyTextGivesAnEmptyContent)
{
    panel_changelog panel ({}, "Kelvara 2");
    panel.scale = 6.0f;
    panel.setBounds (0, 0, 600, 600);

    EXPECT_TRUE (panel.getContent().getRenderedBlocks().empty());
    EXPECT_EQ (panel.getContent().getHeight(), 12);
}

TEST (ReleaseNotesPanel, FollowsTheWindowAndLaysTheNotesOutAgain)
{
    ScopedWinePrefix prefix;
    MainComponent main;

    auto* panel = open<panel_changelog> (main, "CHANGES");
    ASSERT_NE (panel, nullptr);
    const auto heightAt600 = panel->getContent().getHeight();

    main.setSize (900, 900);

    const auto& viewport = panel->getViewport();
    EXPECT_FLOAT_EQ (panel->scale, 9.0f);
    EXPECT_EQ (panel->getBounds(), juce::Rectangle<int> (0, 0, 900, 900));
    EXPECT_EQ (viewport.getBounds(), juce::Rectangle<int> (36, 108, 828, 720));
    EXPECT_EQ (panel->getContent().getWidth(), viewport.getMaximumVisibleWidth());
    EXPECT_FLOAT_EQ (panel->getContent().getRenderedBlocks().front().y, 18.0f);
    EXPECT_NEAR ((double) panel->getContent().getHeight() / heightAt600, 1.5, 0.15);
}

TEST (ReleaseNotesPanel, PaintsTheHeadingAndTheNotes)
{
    ScopedWinePrefix prefix;
    MainComponent main;

    auto* panel = open<panel_changelog> (main, "CHANGES");
    ASSERT_NE (panel, nullptr);

    const auto image = snapshot (*panel);
    expectFrameAtRest (image, true);

    // The first heading at 12 in the content, the bullets' marks in their column, body text after.
    EXPECT_GT (pixelsLike (image, { 24, 84, 100, 24 }, Palette::offWhite), 20) << "the first section's heading";
    EXPECT_GT (inked (image, { 27, 120, 18, 300 }), 20) << "bullet marks";
    EXPECT_GT (inked (image, { 48, 120, 400, 300 }), 3000) << "bullet text";
}
