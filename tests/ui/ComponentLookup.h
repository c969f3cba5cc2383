#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The main screen's children, found as the user's clicks find them: by component name. */
inline juce::Component* childNamed (juce::Component& parent, const juce::String& name)
{
    for (auto* child : parent.getChildren())
        if (child->getName() == name)
            return child;

    return nullptr;
}

inline juce::Button* buttonNamed (juce::Component& parent, const juce::String& name)
{
    return dynamic_cast<juce::Button*> (childNamed (parent, name));
}

/** The first child of the given type, such as a shown panel or a panel's text box. */
template <typename Child>
Child* childOfType (juce::Component& parent)
{
    for (auto* child : parent.getChildren())
        if (auto* found = dynamic_cast<Child*> (child))
            return found;

    return nullptr;
}

/** The hint line, the screen's only label. */
inline juce::Label* hintLabelOf (juce::Component& parent)
{
    return childOfType<juce::Label> (parent);
}

/** Opens a panel as a click on its opener does, and returns it. */
template <typename Panel>
Panel* open (juce::Component& screen, const juce::String& openerName)
{
    dynamic_cast<juce::Button::Listener&> (screen).buttonClicked (buttonNamed (screen, openerName));
    return childOfType<Panel> (screen);
}
