#include "core/SupportMail.h"
#include "core/ProductDefinition.h"

SupportMail::SystemDescription SupportMail::SystemDescription::ofThisMachine()
{
    return { juce::SystemStats::getOperatingSystemName(),
             juce::SystemStats::getDeviceDescription(),
             juce::SystemStats::getCpuModel() };
}

juce::String SupportMail::composeSubject (const juce::String& productName)
{
    return productName + " help";
}

juce::String SupportMail::composeBody (const juce::String& productName, const juce::String& productVersion,
                                       const SystemDescription& system)
{
    return "Product: " + productName + " " + productVersion + "\n"
         + "Operating System: " + system.operatingSystem + "\n"
         + "Device: " + system.device + "\n"
         + "CPU: " + system.cpu + "\n"
         + "\n"
         + "Your problem, and the steps to recreate it, if possible:\n";
}

juce::String SupportMail::composeLink (const juce::String& productName, const juce::String& productVersion,
                                       const SystemDescription& system)
{
    return juce::String (ProductDefinition::supportMailLinkStart)
         + juce::URL::addEscapeChars (composeSubject (productName), true)
         + "&body="
         + juce::URL::addEscapeChars (composeBody (productName, productVersion, system), true);
}
