#include "core/FormatStatus.h"
#include "core/ModuleVersionReader.h"
#include "core/ProductDefinition.h"

juce::String FormatStatus::getStatusText() const
{
    if (! installed)
        return "NOT INSTALLED";

    const auto prefix = installedVersion.isNotEmpty() ? "v" + installedVersion + " " : juce::String();
    return prefix + (needsUpdate ? "NEEDS UPDATE" : "INSTALLED");
}

FormatStatus FormatStatus::detect (const juce::File& installFolder, const juce::String& productName,
                                   const juce::String& productVersion, int formatIndex)
{
    FormatStatus status;
    const auto bundle = ProductDefinition::bundleFor (installFolder, productName, formatIndex);

    if (! bundle.exists())
        return status;

    status.installed = true;
    status.installedVersion = ModuleVersionReader::readFileVersion (ProductDefinition::versionFileFor (bundle, productName, formatIndex));
    status.needsUpdate = status.installedVersion.isNotEmpty() && isOlder (status.installedVersion, productVersion);
    return status;
}

bool FormatStatus::isOlder (const juce::String& installedVersion, const juce::String& productVersion)
{
    return installedVersion.compareNatural (productVersion, false) < 0;
}

int FormatStatus::compareReleases (const juce::String& a, const juce::String& b)
{
    const auto numbersOf = [] (const juce::String& version) { return juce::StringArray::fromTokens (version.trim(), ".", {}); };
    const auto first = numbersOf (a), second = numbersOf (b);

    for (int i = 0; i < juce::jmax (first.size(), second.size()); ++i)
    {
        // Out of range, StringArray gives an empty text, which counts as 0.
        const auto x = first[i].getLargeIntValue(), y = second[i].getLargeIntValue();

        if (x != y)
            return x < y ? -1 : 1;
    }

    return 0;
}
