#include "TestSupport.h"
#include "ui/MainComponent.h"
#include "ui/ComponentLookup.h"
#include "core/ProductDefinition.h"

#include <set>

//==============================================================================
// What assistive technology is told of each panel, through the framework's own handlers.
TEST (PanelAccessibility, EachPanelIsADialogTitledWithItsHeadingAndItsButtonsAreNamed)
{
    ScopedWinePrefix prefix;
    MainComponent main;

    const std::pair<const char*, const char*> panels[] { { "EULA", "LICENSE AGREEMENT" }, { "SUPPORT", "SUPPORT" },
                                                         { "CHANGES", "CHANGELOG - KELVARA 2" } };

    for (const auto& [opener, title] : panels)
    {
        main.buttonClicked (buttonNamed (main, opener));
        auto* panel = main.getChildren().getLast();
        ASSERT_NE (dynamic_cast<juce::Button::Listener*> (panel), nullptr) << opener;

        const auto handler = panel->createAccessibilityHandler();
        EXPECT_EQ (handler->getTitle(), title);
        EXPECT_EQ (handler->getRole(), juce::AccessibilityRole::dialogWindow) << opener;

        const auto close = childNamed (*panel, "X")->createAccessibilityHandler();
        EXPECT_EQ (close->getTitle(), "CLOSE") << "not the glyph's X";
        EXPECT_EQ (close->getRole(), juce::AccessibilityRole::button);

        // Pressing it through the handler closes the panel, as a click does.
        EXPECT_TRUE (close->getActions().invoke (juce::AccessibilityActionType::press));
        EXPECT_EQ (panel->getParentComponent(), nullptr) << opener;
    }

    auto* support = open<panel_support> (main, "SUPPORT");
    EXPECT_EQ (childNamed (*support, "DISCORD")->createAccessibilityHandler()->getTitle(), "DISCORD");
    EXPECT_EQ (childNamed (*support, "MAIL")->createAccessibilityHandler()->getTitle(), "E-MAIL");
}

TEST (PanelAccessibility, TheLicenceIsReadOnlyTextHoldingTheAgreement)
{
    ScopedWinePrefix prefix;
    MainComponent main;
    auto* panel = open<panel_eula> (main, "EULA");
    auto* editor = childOfType<juce::TextEditor> (*panel);
    ASSERT_NE (editor, nullptr);

    const auto handler = editor->createAccessibilityHandler();
    EXPECT_EQ (handler->getRole(), juce::AccessibilityRole::staticText);

    auto* text = handler->getTextInterface();
    ASSERT_NE (text, nullptr);
    EXPECT_TRUE (text->isReadOnly());
    EXPECT_EQ (text->getTotalNumCharacters(), eulaText.length());
    EXPECT_EQ (text->getText ({ 0, 40 }), eulaText.substring (0, 40));

    // Assistive technology cannot change it.
    text->setText ("changed");
    EXPECT_EQ (editor->getText(), eulaText);
}

TEST (PanelAccessibility, TheReleaseNotesAreReadableTextWithoutTheirMarkdownMarks)
{
    ScopedWinePrefix prefix;
    panel_changelog panel ("# Kelvara 2 Changelog\n\n## v2.4\n\n- **Fixed:** a crash\n- *Faster* start\n", "Kelvara 2");
    panel.scale = 6.0f;
    panel.setBounds (0, 0, 600, 600);

    auto& content = const_cast<panel_changelog::ChangelogContent&> (panel.getContent());
    const auto handler = content.createAccessibilityHandler();
    EXPECT_EQ (handler->getRole(), juce::AccessibilityRole::staticText);

    auto* text = handler->getTextInterface();
    ASSERT_NE (text, nullptr);
    EXPECT_TRUE (text->isReadOnly());
    EXPECT_EQ (text->getText ({ 0, text->getTotalNumCharacters() }), "v2.4\n\nFixed: a crash\nFaster start\n");
}

namespace
{
    juce::Image snapshot (juce::Component& component)
    {
        return component.createComponentSnapshot (component.getLocalBounds(), true, 1.0f);
    }

    bool hasInk (const juce::Image& image, juce::Rectangle<int> area)
    {
        for (int y = area.getY(); y < area.getBottom(); ++y)
            for (int x = area.getX(); x < area.getRight(); ++x)
                if (image.getPixelAt (x, y).getPerceivedBrightness() > 0.1f)   // the background is 0.07
                    return true;

        return false;
    }

    /** Character by character through the first lines, each where it is painted: one small
        rectangle with ink in it inside the shown area, whose left edge is the place before the
        character and whose right edge the place after it; and a run of lines one rectangle a
        line, each below the one before. The screen has no window, so its own coordinates are
        the screen's. */
    void expectCharactersWherePainted (MainComponent& main, juce::AccessibilityTextInterface& text, juce::Rectangle<int> shownArea)
    {
        const auto image = snapshot (main);
        const auto firstLines = juce::Range<int> (0, 160).getIntersectionWith ({ 0, text.getTotalNumCharacters() });
        int checked = 0;

        for (auto i = firstLines.getStart(); i < firstLines.getEnd(); ++i)
        {
            if (text.getText ({ i, i + 1 }).trim().isEmpty())
                continue;

            const auto bounds = text.getTextBounds ({ i, i + 1 });
            ASSERT_EQ (bounds.getNumRectangles(), 1) << "character " << i << " '" << text.getText ({ i, i + 1 }) << "' in '" << text.getText ({ i - 20, i + 20 }) << "'";

            const auto r = bounds.getRectangle (0);
            EXPECT_TRUE (shownArea.contains (r)) << "character " << i << " at " << r.toString();
            EXPECT_LT (r.getWidth(), 3 * r.getHeight()) << "character " << i;
            EXPECT_LT (r.getHeight(), shownArea.getHeight() / 8) << "character " << i;
            EXPECT_TRUE (hasInk (image, r)) << "character " << i << " '" << text.getText ({ i, i + 1 }) << "' at " << r.toString();
            EXPECT_EQ (text.getOffsetAtPoint ({ r.getX(), r.getCentreY() }), i) << "character " << i;
            EXPECT_EQ (text.getOffsetAtPoint ({ r.getRight() - 1, r.getCentreY() }), i + 1) << "character " << i;
            ++checked;
        }

        EXPECT_GT (checked, 80);

        // In reading order, on three lines or more; the editor gives a rectangle a word.
        const auto lines = text.getTextBounds ({ 0, juce::jmin (400, text.getTotalNumCharacters()) });
        std::set<int> tops;

        for (int i = 0; i < lines.getNumRectangles(); ++i)
            tops.insert (lines.getRectangle (i).getY());

        for (int i = 1; i < lines.getNumRectangles(); ++i)
            EXPECT_GE (lines.getRectangle (i).getY(), lines.getRectangle (i - 1).getY()) << "rectangle " << i;

        EXPECT_GT (tops.size(), 2u);
    }
}

TEST (PanelAccessibility, TheLicencesCharactersAreFoundWhereTheyArePainted)
{
    ScopedWinePrefix prefix;
    MainComponent main;
    auto* editor = childOfType<juce::TextEditor> (*open<panel_eula> (main, "EULA"));
    const auto handler = editor->createAccessibilityHandler();

    expectCharactersWherePainted (main, *handler->getTextInterface(), editor->getScreenBounds());

    // Scrolled to the end, the start lies above the box.
    const auto top = handler->getTextInterface()->getTextBounds ({ 0, 1 }).getBounds();
    editor->moveCaretToEnd();
    EXPECT_LT (handler->getTextInterface()->getTextBounds ({ 0, 1 }).getBounds().getY(), editor->getScreenY());
    EXPECT_EQ (handler->getTextInterface()->getTextBounds ({ 0, 1 }).getBounds().getX(), top.getX());
}

TEST (PanelAccessibility, TheReleaseNotesCharactersAreFoundWhereTheyArePainted)
{
    ScopedWinePrefix prefix;
    MainComponent main;
    auto* panel = open<panel_changelog> (main, "CHANGES");
    auto& content = const_cast<panel_changelog::ChangelogContent&> (panel->getContent());
    auto& viewport = const_cast<juce::Viewport&> (panel->getViewport());
    const auto handler = content.createAccessibilityHandler();

    expectCharactersWherePainted (main, *handler->getTextInterface(), viewport.getScreenBounds());

    // The view scrolled down by 100 pixels takes the text with it.
    const auto top = handler->getTextInterface()->getTextBounds ({ 0, 1 }).getBounds();
    viewport.setViewPosition (0, 100);
    EXPECT_EQ (handler->getTextInterface()->getTextBounds ({ 0, 1 }).getBounds(), top.translated (0, -100));
    EXPECT_EQ (handler->getTextInterface()->getOffsetAtPoint (top.translated (0, -100).getPosition()), 0);
}
