#include "ui/MainScreenPainter.h"
#include "ui/Palette.h"
#include "ui/KeyboardNavigation.h"
#include "core/ProductDefinition.h"
#include "core/FormatStatus.h"

namespace
{
    juce::Font regularFont (const MainScreenView& view)
    {
        return juce::Font (juce::FontOptions (view.typeface));
    }

    /** A reduced-alpha colour as the renderer blends it over the screen's background. Every shape
        filled with one lies on the opaque near-black, and an opaque fill is much cheaper. */
    juce::Colour onBackground (juce::Colour colour, float alpha)
    {
        return Palette::blendedOver (Palette::nearBlack, colour, alpha);
    }

    juce::Colour buttonColour (const juce::Button& button)
    {
        if (button.isMouseButtonDown())
            return Palette::green;

        return onBackground (Palette::warmGrey, button.isMouseOver (false) ? 0.75f : 0.5f);
    }
}

//==============================================================================
void MainScreenPainter::paint (juce::Graphics& g, const MainScreenView& view)
{
    paintUnchangingLayer (g, view);

    g.setFont (regularFont (view));
    g.setFont (2.25f * view.scale);

    for (int i = 0; i < (int) view.extrasButtons.size(); ++i)
        paintExtrasButton (g, view, i);

    paintInstallButton (g, view);

    if (view.installFinished)
    {
        paintResultView (g, view);
    }
    else
    {
        paintSelectAllButton (g, view);

        for (int i = 0; i < ProductDefinition::numFormats; ++i)
            paintFormatRow (g, view, i);
    }

    paintFocusRing (g, view);
}

// Over everything else, around the one button that has the focus, once the keyboard is in use.
void MainScreenPainter::paintFocusRing (juce::Graphics& g, const MainScreenView& view)
{
    std::vector<const juce::Component*> buttons { &view.selectAllButton, &view.installButton };

    for (const auto& b : view.extrasButtons)   buttons.push_back (b.get());
    for (const auto& b : view.formatButtons)   buttons.push_back (b.get());

    for (const auto* button : buttons)
        if (KeyboardNavigation::showsFocusRing (*button))
            KeyboardNavigation::paintFocusRing (g, button->getBounds().toFloat(), view.scale, view.scale);
}

void MainScreenPainter::paintUnchangingLayer (juce::Graphics& g, const MainScreenView& view)
{
    const auto s = view.scale;
    const auto w = (float) view.bounds.getWidth();
    const auto h = (float) view.bounds.getHeight();

    // The header's large text and wordmark change with nothing but the size, so they are drawn
    // once per size and copied after that, which keeps resizing smooth. On a scaled display
    // they are drawn directly, at full resolution.
    const auto headerBand = view.bounds.withHeight (juce::roundToInt (std::ceil (28.0f * s)));

    if (juce::approximatelyEqual (g.getInternalContext().getPhysicalPixelScaleFactor(), 1.0f))
    {
        if (view.headerLayer.getBounds() != headerBand)
        {
            view.headerLayer = juce::Image (juce::Image::RGB, headerBand.getWidth(), headerBand.getHeight(), false);
            juce::Graphics layer (view.headerLayer);
            paintHeaderBand (layer, view);
        }

        g.drawImageAt (view.headerLayer, 0, 0);
    }
    else
    {
        juce::Graphics::ScopedSaveState state (g);
        g.reduceClipRegion (headerBand);
        paintHeaderBand (g, view);
    }

    g.setColour (Palette::nearBlack);
    g.fillRect (view.bounds.withTrimmedTop (headerBand.getHeight()));

    g.setColour (onBackground (Palette::warmGrey, 0.5f));
    g.fillEllipse (w - 2.0f * s, h - 2.0f * s, s, s);
    g.fillEllipse (w - 2.0f * s, h - 4.0f * s, s, s);
    g.fillEllipse (w - 4.0f * s, h - 2.0f * s, s, s);

    g.setColour (Palette::warmGrey);
    g.setFont (regularFont (view).withHeight (4.0f * s));
    g.drawSingleLineText ("EXTRAS", (int) (4.0f * s), (int) (70.0f * s), juce::Justification::left);
    g.fillRect (4.0f * s, 71.5f * s, 92.0f * s, 0.25f * s);
}

/** Everything above the format rows: background, top strip, title, wordmark, FORMATS and its rule. */
void MainScreenPainter::paintHeaderBand (juce::Graphics& g, const MainScreenView& view)
{
    const auto s = view.scale;

    g.fillAll (Palette::nearBlack);

    g.setColour (Palette::blue);
    g.fillRect (0.0f, 0.0f, 100.0f * s, s);

    g.setFont (regularFont (view));
    paintHeader (g, view);

    g.setColour (Palette::warmGrey);
    g.setFont (4.0f * s);
    g.drawSingleLineText ("FORMATS", (int) (4.0f * s), (int) (26.0f * s), juce::Justification::left);
    g.fillRect (4.0f * s, 27.5f * s, 92.0f * s, 0.25f * s);
}

void MainScreenPainter::paintHeader (juce::Graphics& g, const MainScreenView& view)
{
    const auto s = view.scale;
    const auto w = (float) view.bounds.getWidth();
    const juce::Rectangle<float> titleArea (4.0f * s, 8.0f * s, w, 12.0f * s);

    g.setColour (Palette::warmGrey);
    g.setFont (9.0f * s);
    g.drawText (view.productName.toUpperCase() + " DEMO", titleArea, juce::Justification::topLeft, true);

    g.setColour (Palette::warmGrey.withAlpha (0.5f));
    g.setFont (4.0f * s);
    g.drawText ("Version " + view.productVersion + view.platformSuffix, titleArea, juce::Justification::bottomLeft, true);

    // The wordmark is black artwork, shown light on the dark header only while it is drawn.
    view.logo.replaceColour (juce::Colours::black, Palette::offWhite);
    view.logo.drawWithin (g, { 4.0f * s, 2.5f * s, 26.7f * s, 3.7f * s },
                          juce::RectanglePlacement::xLeft | juce::RectanglePlacement::yMid, 1.0f);
    view.logo.replaceColour (Palette::offWhite, juce::Colours::black);

    g.setColour (Palette::warmGrey.withAlpha (0.5f));
    g.setFont (3.0f * s);
    g.drawSingleLineText ("PLUGIN MANAGER", (int) (75.0f * s), (int) (4.0f * s), juce::Justification::left);
    g.setFont (2.0f * s);
    g.drawSingleLineText ("v" + juce::String (ProductDefinition::installerVersion), (int) (75.0f * s), (int) (6.0f * s),
                          juce::Justification::left);
}

void MainScreenPainter::paintExtrasButton (juce::Graphics& g, const MainScreenView& view, int extrasIndex)
{
    const auto s = view.scale;
    const auto& button = *view.extrasButtons[(size_t) extrasIndex];
    const auto r = button.getBounds().toFloat();

    g.setColour (buttonColour (button));
    g.fillRoundedRectangle (r, s);

    const auto& icon = extrasIndex < 4 ? *view.buttonIcons[(size_t) extrasIndex] : view.changelogIcon;
    icon.drawWithin (g, r.reduced (2.0f * s), juce::RectanglePlacement::centred, 1.0f);

    g.setColour (Palette::warmGrey);
    g.drawText (extrasNames[extrasIndex], r.translated (0.0f, 3.5f * s), juce::Justification::centredBottom, true);
}

void MainScreenPainter::paintInstallButton (juce::Graphics& g, const MainScreenView& view)
{
    const auto s = view.scale;
    const auto r = view.installButton.getBounds().toFloat();

    g.setColour (buttonColour (view.installButton));
    g.fillRoundedRectangle (r, s);

    view.buttonIcons[4]->drawWithin (g, r.reduced (1.5f * s), juce::RectanglePlacement::centred, 1.0f);

    g.setColour (Palette::warmGrey);
    g.drawText (view.uninstallMode ? "UNINSTALL" : "INSTALL", r.translated (0.0f, 3.5f * s),
                juce::Justification::centredBottom, true);
}

juce::String MainScreenPainter::resultCaption (const std::vector<InstallEngine::FormatResult>& results)
{
    juce::StringArray failedNames;

    for (const auto& result : results)
        if (! result.succeeded)
            failedNames.add (formatNames[result.formatIndex]);

    return failedNames.isEmpty() ? juce::String ("SUCCESS!") : "FAILED: " + failedNames.joinIntoString (", ");
}

void MainScreenPainter::paintResultView (juce::Graphics& g, const MainScreenView& view)
{
    const auto s = view.scale;
    const juce::Rectangle<float> box (4.0f * s, 28.0f * s, 92.0f * s, 38.0f * s);
    const auto pictureArea = box.reduced (12.0f * s);
    const auto caption = resultCaption (view.formatResults);
    const bool anyFailed = std::any_of (view.formatResults.begin(), view.formatResults.end(),
                                        [] (const auto& r) { return ! r.succeeded; });

    if (anyFailed)
    {
        view.warningIcon.drawWithin (g, pictureArea, juce::RectanglePlacement::centred, 1.0f);
    }
    else
    {
        // The install icon doubles as the success picture, green for this one drawing.
        auto& picture = *view.buttonIcons[4];
        picture.replaceColour (Palette::charcoal, Palette::green);
        picture.drawWithin (g, pictureArea, juce::RectanglePlacement::centred, 1.0f);
        picture.replaceColour (Palette::green, Palette::charcoal);
    }

    g.setFont (regularFont (view));
    g.setFont (8.0f * s);
    g.setColour (Palette::offWhite);
    g.drawText (caption, box, juce::Justification::centredBottom, true);
}

void MainScreenPainter::paintSelectAllButton (juce::Graphics& g, const MainScreenView& view)
{
    const auto s = view.scale;
    const auto r = view.selectAllButton.getBounds().toFloat();
    const bool pressed = view.selectAllButton.isMouseButtonDown();

    g.setColour (pressed ? Palette::green : onBackground (Palette::warmGrey, 0.1f));
    g.fillRoundedRectangle (r, s);

    g.setColour (pressed ? Palette::charcoal : Palette::warmGrey);
    g.setFont (2.7f * s);
    g.drawText ("SELECT ALL", r, juce::Justification::centred, true);
}

void MainScreenPainter::paintFormatRow (juce::Graphics& g, const MainScreenView& view, int formatIndex)
{
    const auto s = view.scale;
    const auto& button = *view.formatButtons[(size_t) formatIndex];
    const auto r = button.getBounds().toFloat();
    const bool hovered = button.isMouseOver (false);

    const auto status = FormatStatus::detect (view.installFolders[(size_t) formatIndex], view.productName,
                                              view.productVersion, formatIndex);

    if (status.installed)
        g.setColour (onBackground (status.needsUpdate ? Palette::orange : Palette::blue, hovered ? 1.0f : 0.9f));
    else
        g.setColour (onBackground (Palette::warmGrey, hovered ? 0.5f : 0.35f));

    g.fillRoundedRectangle (r, s);

    if (view.formatSelected[(size_t) formatIndex])
    {
        g.setColour (Palette::yellow);
        g.drawRoundedRectangle (r, s, 0.5f * s);
    }

    const juce::Rectangle<float> text (r.getX() + 11.5f * s, r.getY() + 1.5f * s,
                                       juce::jmax (0.0f, r.getWidth() - 3.0f * s), juce::jmax (0.0f, r.getHeight() - 3.0f * s));

    g.setColour (Palette::nearBlack);
    g.setFont (2.975f * s);
    g.drawText (formatNames[formatIndex], text, juce::Justification::topLeft, true);
    g.setFont (2.55f * s);
    g.drawText (status.getStatusText(), text, juce::Justification::bottomLeft, true);

    view.formatIcons[(size_t) formatIndex]->drawWithin (g, { r.getX() + s, r.getY() + s, 8.0f * s,
                                                             juce::jmax (0.0f, r.getHeight() - 2.0f * s) },
                                                        juce::RectanglePlacement::centred, 1.0f);
}
