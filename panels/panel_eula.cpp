#include "panels/panel_eula.h"
#include "ui/HiddenButton.h"
#include "ui/PanelFrame.h"
#include "ui/Palette.h"
#include "ui/ReadOnlyTextAccessibility.h"

namespace
{
    /** The agreement's box. The keys edit it as in any text box, but what it holds is the agreement
        to be read, and assistive technology is told so. */
    class AgreementText final : public juce::TextEditor
    {
    public:
        std::unique_ptr<juce::AccessibilityHandler> createAccessibilityHandler() override
        {
            return std::make_unique<ReadOnlyTextAccessibility> (*this, ReadOnlyTextAccessibility::Source {
                [this] { return getText(); },
                [this] (juce::Range<int> range) { return getTextBounds (range); },
                [this] (juce::Point<int> point) { return getTextIndexAt (point); } });
        }
    };
}

panel_eula::panel_eula (juce::String agreementText)
{
    textEditor = std::make_unique<AgreementText>();
    addAndMakeVisible (*textEditor);
    textEditor->setMultiLine (true);
    textEditor->setText (agreementText, true);
    textEditor->applyColourToAllText (Palette::warmGrey);

    // Drawn in the background's colour, the box's outline disappears into the panel.
    textEditor->setColour (juce::TextEditor::outlineColourId, Palette::nearBlack);
    textEditor->setColour (juce::TextEditor::focusedOutlineColourId, Palette::nearBlack);

    closeButton = HiddenButton::addTo (*this, *this, "X");

    // Escape reaches the panel, which closes.
    textEditor->setEscapeAndReturnKeysConsumed (false);

    setTitle ("LICENSE AGREEMENT");
    textEditor->setTitle ("LICENSE AGREEMENT");
    PanelFrame::describeCloseButton (*this);

    // The panel takes the focus when it opens and keeps it: Tab cycles through its own controls.
    setWantsKeyboardFocus (true);
    setFocusContainerType (FocusContainerType::keyboardFocusContainer);
    keyboard = std::make_unique<KeyboardNavigation> (*this, [this] { return std::vector<juce::Component*> { closeButton.get(), textEditor.get() }; },
                                                     [this] (juce::Button& button, const juce::ModifierKeys&) { buttonClicked (&button); });
}

panel_eula::~panel_eula() = default;

void panel_eula::paint (juce::Graphics& g)
{
    PanelFrame::paintBackground (g);
    PanelFrame::paintHeading (g, "LICENSE AGREEMENT", scale);
    PanelFrame::paintCloseGlyph (g, *closeButton, scale);
    PanelFrame::paintFocusRing (g, *textEditor, 0.0f, scale);
}

void panel_eula::resized()
{
    textEditor->setBounds (PanelFrame::contentArea (scale));
    closeButton->setBounds (PanelFrame::closeButtonArea (scale));
}

// The close button is the panel's only button.
void panel_eula::buttonClicked (juce::Button*)
{
    PanelFrame::close (*this);
}

bool panel_eula::keyPressed (const juce::KeyPress& key)
{
    return PanelFrame::handleKey (*this, *keyboard, key);
}

void panel_eula::focusOfChildComponentChanged (FocusChangeType)
{
    // The ring goes when the focus leaves the panel, as when the window is no longer active.
    repaint();
}

std::unique_ptr<juce::AccessibilityHandler> panel_eula::createAccessibilityHandler()
{
    return PanelFrame::accessibilityFor (*this);
}
