#include "ui/HiddenButton.h"

#if JUCE_WINDOWS
 #include "core/WindowsHeaders.h"
 #include <uiautomation.h>

namespace juce
{
    // The framework's own way to raise a property change, as its toggle provider does when a
    // toggle comes through UI Automation.
    void sendAccessibilityPropertyChangedEvent (const AccessibilityHandler&, PROPERTYID, VARIANT);
}
#endif

namespace
{
    class HiddenButtonAccessibility final : public juce::AccessibilityHandler
    {
    public:
        HiddenButtonAccessibility (juce::Button& buttonToWrap, juce::Button::Listener& listener,
                                   const HiddenButton::Accessible& description)
            : juce::AccessibilityHandler (buttonToWrap,
                                          description.isSelected != nullptr ? juce::AccessibilityRole::toggleButton
                                                                            : juce::AccessibilityRole::button,
                                          actionsFor (buttonToWrap, listener, description)),
              accessible (description)
        {
        }

        juce::String getTitle() const override
        {
            return accessible.title != nullptr ? accessible.title() : juce::AccessibilityHandler::getTitle();
        }

        juce::String getDescription() const override
        {
            return accessible.description != nullptr ? accessible.description() : juce::AccessibilityHandler::getDescription();
        }

        juce::String getHelp() const override
        {
            return accessible.help != nullptr ? accessible.help() : juce::AccessibilityHandler::getHelp();
        }

        juce::AccessibleState getCurrentState() const override
        {
            auto state = juce::AccessibilityHandler::getCurrentState();

            if (accessible.isSelected != nullptr)
            {
                state = state.withCheckable();

                if (accessible.isSelected())
                    state = state.withChecked();
            }

            return state;
        }

    private:
        // Pressing, and toggling a toggle, is a click: the owner's command runs at once.
        static juce::AccessibilityActions actionsFor (juce::Button& button, juce::Button::Listener& listener,
                                                      const HiddenButton::Accessible& description)
        {
            const auto click = [&button, &listener] { listener.buttonClicked (&button); };
            auto actions = juce::AccessibilityActions().addAction (juce::AccessibilityActionType::press, click);

            if (description.isSelected != nullptr)
                actions.addAction (juce::AccessibilityActionType::toggle, click);

            return actions;
        }

        const HiddenButton::Accessible& accessible;
    };
}

//==============================================================================
HiddenButton::HiddenButton (const juce::String& buttonName, juce::Button::Listener& clickListener)
    : listener (clickListener)
{
    setName (buttonName);
    setTitle (buttonName);
    setAlpha (0.0f);
}

std::unique_ptr<juce::TextButton> HiddenButton::addTo (juce::Component& parent, juce::Button::Listener& listener,
                                                      const juce::String& buttonName)
{
    auto button = std::make_unique<HiddenButton> (buttonName, listener);
    parent.addAndMakeVisible (*button);
    button->addListener (&listener);
    return button;
}

void HiddenButton::describe (juce::Component& parent, const juce::String& buttonName, Accessible description)
{
    for (auto* child : parent.getChildren())
    {
        if (auto* button = dynamic_cast<HiddenButton*> (child); button != nullptr && button->getName() == buttonName)
        {
            button->accessible = std::move (description);
            button->invalidateAccessibilityHandler();
            return;
        }
    }

    jassertfalse;
}

void HiddenButton::mouseUp (const juce::MouseEvent& e)
{
    juce::TextButton::mouseUp (e);

    // A press dragged off the button ends without a change of state, so nothing else would
    // take its green away.
    repaint();
}

void HiddenButton::reportChange (Change change)
{
    // Without a window there is no handler, and nobody to tell.
    auto* handler = getAccessibilityHandler();

    if (handler == nullptr)
        return;

    if (change == Change::title)
    {
        handler->notifyAccessibilityEvent (juce::AccessibilityEvent::titleChanged);
    }
    else
    {
        // A value change is how the framework reports its own toggles where the platform reads
        // a toggle's state as its value; UI Automation has a property of its own for it.
        handler->notifyAccessibilityEvent (juce::AccessibilityEvent::valueChanged);

       #if JUCE_WINDOWS
        VARIANT newState;
        VariantInit (&newState);
        newState.vt = VT_I4;
        newState.lVal = handler->getCurrentState().isChecked() ? ToggleState_On : ToggleState_Off;
        juce::sendAccessibilityPropertyChangedEvent (*handler, UIA_ToggleToggleStatePropertyId, newState);
       #endif
    }

    if (onChangeReported != nullptr)
        onChangeReported (change);
}

bool HiddenButton::keyPressed (const juce::KeyPress&)
{
    return false;
}

std::unique_ptr<juce::AccessibilityHandler> HiddenButton::createAccessibilityHandler()
{
    return std::make_unique<HiddenButtonAccessibility> (*this, listener, accessible);
}
