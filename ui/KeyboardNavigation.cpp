#include "ui/KeyboardNavigation.h"
#include "ui/Palette.h"

#include <algorithm>
#include <utility>

namespace
{
    // Every screen with keyboard access there is, so that a control can find the one it lies on.
    // Message thread only.
    std::vector<const KeyboardNavigation*>& allNavigations()
    {
        static std::vector<const KeyboardNavigation*> navigations;
        return navigations;
    }
}

//==============================================================================
KeyboardNavigation::KeyboardNavigation (juce::Component& screenToServe, FocusOrder focusOrder, Press pressButton,
                                        bool takeKeysFromWindow)
    : screen (screenToServe), order (std::move (focusOrder)), press (std::move (pressButton)),
      takesWindowKeys (takeKeysFromWindow)
{
    allNavigations().push_back (this);
    screen.addMouseListener (this, true);
    screen.addComponentListener (this);
    listenToWindow();
}

KeyboardNavigation::~KeyboardNavigation()
{
    if (window != nullptr)
        window->removeKeyListener (this);

    if (closingPanel != nullptr)
        closingPanel->removeComponentListener (this);

    screen.removeComponentListener (this);
    screen.removeMouseListener (this);

    auto& navigations = allNavigations();
    navigations.erase (std::remove (navigations.begin(), navigations.end(), this), navigations.end());
}

//==============================================================================
bool KeyboardNavigation::handleKey (const juce::KeyPress& key)
{
    if (key.isKeyCode (juce::KeyPress::tabKey))
    {
        showFocusRing();
        moveFocus (! key.getModifiers().isShiftDown());
        return true;
    }

    if (key.isKeyCode (juce::KeyPress::spaceKey) || key.isKeyCode (juce::KeyPress::returnKey))
    {
        for (auto* control : showingControls())
        {
            if (auto* button = dynamic_cast<juce::Button*> (control); button != nullptr && button->hasKeyboardFocus (false))
            {
                showFocusRing();
                press (*button, key.getModifiers());
                return true;
            }
        }
    }

    return false;
}

std::vector<juce::Component*> KeyboardNavigation::showingControls() const
{
    auto controls = order();
    controls.erase (std::remove_if (controls.begin(), controls.end(),
                                    [] (const juce::Component* c) { return c == nullptr || ! c->isShowing() || ! c->isEnabled(); }),
                    controls.end());
    return controls;
}

void KeyboardNavigation::moveFocus (bool forwards)
{
    const auto controls = showingControls();

    if (controls.empty())
        return;

    const auto focused = std::find_if (controls.begin(), controls.end(),
                                       [] (const juce::Component* c) { return c->hasKeyboardFocus (true); });
    const auto count = (int) controls.size();
    auto next = forwards ? 0 : count - 1;

    if (focused != controls.end())
        next = ((int) std::distance (controls.begin(), focused) + (forwards ? 1 : count - 1)) % count;

    auto* target = controls[(size_t) next];
    target->grabKeyboardFocus();

    // The ring lies outside the control, where the control's own repaint does not reach.
    screen.repaint();

    if (onFocusMovedByKeyboard != nullptr)
        onFocusMovedByKeyboard (*target);
}

//==============================================================================
void KeyboardNavigation::returnFocusWhenClosed (juce::Component& panel, juce::Component& opener)
{
    if (closingPanel != nullptr)
        closingPanel->removeComponentListener (this);

    closingPanel = &panel;
    panelOpener = &opener;
    panel.addComponentListener (this);
}

void KeyboardNavigation::componentParentHierarchyChanged (juce::Component& component)
{
    if (&component == &screen)
    {
        listenToWindow();
        return;
    }

    if (&component != closingPanel.getComponent() || component.getParentComponent() != nullptr)
        return;

    component.removeComponentListener (this);
    closingPanel = nullptr;

    if (panelOpener != nullptr && panelOpener->isShowing())
    {
        panelOpener->grabKeyboardFocus();
        screen.repaint();

        if (isFocusRingShown() && onFocusMovedByKeyboard != nullptr)
            onFocusMovedByKeyboard (*panelOpener);
    }
}

void KeyboardNavigation::componentBeingDeleted (juce::Component& component)
{
    if (&component == closingPanel.getComponent())
        closingPanel = nullptr;
}

// The window holds the focus itself until a control takes it; its keys then reach no screen.
void KeyboardNavigation::listenToWindow()
{
    if (! takesWindowKeys)
        return;

    auto* top = screen.getTopLevelComponent();
    auto* newWindow = top != &screen ? top : nullptr;

    if (newWindow == window.getComponent())
        return;

    if (window != nullptr)
        window->removeKeyListener (this);

    window = newWindow;

    if (window != nullptr)
        window->addKeyListener (this);
}

bool KeyboardNavigation::keyPressed (const juce::KeyPress& key, juce::Component*)
{
    if (screen.hasKeyboardFocus (true) || ! screen.isShowing())
        return false;

    return handleKey (key);
}

//==============================================================================
KeyboardNavigation& KeyboardNavigation::outermost()
{
    return const_cast<KeyboardNavigation&> (std::as_const (*this).outermost());
}

const KeyboardNavigation& KeyboardNavigation::outermost() const
{
    const auto* found = this;

    for (const auto* other : allNavigations())
        if (other->screen.isParentOf (&found->screen))
            found = other;

    return *found;
}

bool KeyboardNavigation::isFocusRingShown() const noexcept
{
    return outermost().ringShown;
}

void KeyboardNavigation::showFocusRing()
{
    outermost().setRingShown (true);
}

void KeyboardNavigation::setRingShown (bool shouldShow)
{
    if (ringShown == shouldShow)
        return;

    ringShown = shouldShow;
    screen.repaint();
}

void KeyboardNavigation::mouseDown (const juce::MouseEvent&)
{
    outermost().setRingShown (false);
}

bool KeyboardNavigation::showsFocusRing (const juce::Component& control)
{
    if (! control.hasKeyboardFocus (false))
        return false;

    for (const auto* navigation : allNavigations())
        if (navigation->screen.isParentOf (&control))
            return navigation->isFocusRingShown();

    return false;
}

void KeyboardNavigation::paintFocusRing (juce::Graphics& g, juce::Rectangle<float> area, float cornerSize, float scale)
{
    const auto gap = 0.75f * scale;

    g.setColour (Palette::offWhite);
    g.drawRoundedRectangle (area.expanded (gap), cornerSize + gap, 0.4f * scale);
}
