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

/** The hint line, the screen's only label. */
inline juce::Label* hintLabelOf (juce::Component& parent)
{
    for (auto* child : parent.getChildren())
        if (auto* label = dynamic_cast<juce::Label*> (child))
            return label;

    return nullptr;
}
