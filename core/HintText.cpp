#include "core/HintText.h"

namespace HintText
{
    std::optional<juce::String> forButton (const juce::String& buttonName,
                                           bool formatBundleExists,
                                           const juce::String& productVersion)
    {
        if (buttonName == "EULA")     return juce::String ("Click to read End-User License Agreement");
        if (buttonName == "MANUAL")   return juce::String ("Click to open product manual in your web browser");
        if (buttonName == "WEBSITE")  return juce::String ("Click to open product page on the Orvanta website");
        if (buttonName == "SUPPORT")  return juce::String ("Email and Discord support");
        if (buttonName == "CHANGES")  return juce::String ("Click to view release notes");

        if (buttonName == "VST3" || buttonName == "CLAP" || buttonName == "AAX")
            return formatBundleExists ? "Select to update " + buttonName + " to " + productVersion
                                      : "Select to install " + buttonName;

        if (buttonName == "INSTALL")
            return juce::String ("Click to install selected. Shift-click to uninstall selected");

        return std::nullopt;
    }
}
