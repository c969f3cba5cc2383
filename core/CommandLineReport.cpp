#include "core/CommandLineReport.h"
#include "core/CommandLine.h"

namespace
{
    constexpr int nameColumnWidth    = 6;
    constexpr int stateColumnWidth   = 11;
    constexpr int versionColumnWidth = 12;

    juce::String paddedTo (const juce::String& text, int width)
    {
        return text + juce::String::repeatedString (" ", juce::jmax (1, width - text.length()));
    }

    /** A reason may come from the file system with line breaks; each format keeps one line. */
    juce::String oneLine (const juce::String& text)
    {
        return text.replaceCharacters ("\r\n", "  ").trim();
    }

    juce::var orNull (const juce::String& text)
    {
        return text.isEmpty() ? juce::var() : juce::var (text);
    }

    juce::String asJson (const juce::var& object)
    {
        return juce::JSON::toString (object, juce::JSON::FormatOptions{}.withSpacing (juce::JSON::Spacing::none)
                                                                         .withEncoding (juce::JSON::Encoding::ascii));
    }

    /** The object of one report: the product, the command where there is one, and one object
        per format in the order given, each named by its format and filled in by describe. */
    template <typename Item, typename Describe>
    juce::DynamicObject::Ptr reportObject (const juce::String& productName, const juce::String& productVersion,
                                           const juce::String& command, const std::vector<Item>& items, Describe&& describe)
    {
        juce::Array<juce::var> formats;

        for (const auto& item : items)
        {
            juce::DynamicObject::Ptr format (new juce::DynamicObject());
            format->setProperty ("format", formatNames[item.formatIndex]);
            describe (item, *format);
            formats.add (juce::var (format.get()));
        }

        juce::DynamicObject::Ptr object (new juce::DynamicObject());
        object->setProperty ("product", productName);
        object->setProperty ("productVersion", productVersion);

        if (command.isNotEmpty())
            object->setProperty ("command", command);

        object->setProperty ("formats", formats);
        return object;
    }
}

std::vector<CommandLineReport::FormatState> CommandLineReport::detectAll (const InstallRun::Folders& installFolders,
                                                                          const juce::String& productName,
                                                                          const juce::String& productVersion)
{
    std::vector<FormatState> states;

    for (int formatIndex = 0; formatIndex < ProductDefinition::numFormats; ++formatIndex)
    {
        const auto& folder = installFolders[(size_t) formatIndex];
        states.push_back ({ formatIndex,
                            FormatStatus::detect (folder, productName, productVersion, formatIndex),
                            ProductDefinition::bundleFor (folder, productName, formatIndex) });
    }

    return states;
}

juce::String CommandLineReport::stateName (const FormatStatus& status)
{
    if (! status.installed)
        return "absent";

    return status.needsUpdate ? "outdated" : "installed";
}

juce::String CommandLineReport::statusText (const std::vector<FormatState>& states)
{
    juce::String text;

    for (const auto& state : states)
    {
        const auto version = state.status.installedVersion.isNotEmpty() ? state.status.installedVersion : juce::String ("-");

        text << paddedTo (formatNames[state.formatIndex], nameColumnWidth)
             << paddedTo (stateName (state.status), stateColumnWidth)
             << paddedTo (version, versionColumnWidth)
             << state.bundle.getFullPathName() << "\n";
    }

    return text;
}

juce::String CommandLineReport::statusJson (const std::vector<FormatState>& states,
                                            const juce::String& productName, const juce::String& productVersion)
{
    const auto object = reportObject (productName, productVersion, {}, states, [] (const FormatState& state, juce::DynamicObject& format)
    {
        format.setProperty ("state", stateName (state.status));
        format.setProperty ("version", orNull (state.status.installedVersion));
        format.setProperty ("path", state.bundle.getFullPathName());
    });

    return asJson (juce::var (object.get())) + "\n";
}

juce::String CommandLineReport::resultName (const InstallEngine::FormatResult& result, InstallRun::Action action)
{
    if (! result.succeeded)
        return "failed";

    return action == InstallRun::Action::install ? "installed" : "uninstalled";
}

juce::String CommandLineReport::resultsText (const std::vector<InstallEngine::FormatResult>& results, InstallRun::Action action)
{
    juce::String text;

    for (const auto& result : results)
    {
        text << formatNames[result.formatIndex] << ": " << resultName (result, action);

        if (! result.succeeded)
            text << ": " << oneLine (result.reason);

        text << "\n";

        if (result.note.isNotEmpty())
            text << "  note: " << oneLine (result.note) << "\n";
    }

    return text;
}

juce::String CommandLineReport::resultsJson (const std::vector<InstallEngine::FormatResult>& results, InstallRun::Action action,
                                             const InstallRun::Folders& installFolders,
                                             const juce::String& productName, const juce::String& productVersion)
{
    const auto command = action == InstallRun::Action::install ? "install" : "uninstall";
    const auto object = reportObject (productName, productVersion, command, results,
                                      [&] (const InstallEngine::FormatResult& result, juce::DynamicObject& format)
    {
        const auto bundle = ProductDefinition::bundleFor (installFolders[(size_t) result.formatIndex], productName, result.formatIndex);

        format.setProperty ("result", resultName (result, action));
        format.setProperty ("succeeded", result.succeeded);
        format.setProperty ("reason", result.succeeded ? juce::var() : juce::var (oneLine (result.reason)));
        format.setProperty ("path", bundle.getFullPathName());
        format.setProperty ("note", orNull (oneLine (result.note)));
        // The exit code this format alone would give, so that a script can tell the kinds apart.
        format.setProperty ("code", CommandLine::exitCodeFor ({ result }));
    });

    object->setProperty ("exitCode", CommandLine::exitCodeFor (results));
    return asJson (juce::var (object.get())) + "\n";
}

juce::String CommandLineReport::verifyText (const std::vector<FormatCheck>& checks)
{
    juce::String text;

    for (const auto& check : checks)
    {
        text << formatNames[check.formatIndex] << ": " << BundleVerifier::stateName (check.verdict.state);

        if (check.verdict.reason.isNotEmpty())
            text << ": " << oneLine (check.verdict.reason);

        text << "\n";
    }

    return text;
}

juce::String CommandLineReport::verifyJson (const std::vector<FormatCheck>& checks,
                                            const juce::String& productName, const juce::String& productVersion)
{
    const auto object = reportObject (productName, productVersion, "verify", checks, [] (const FormatCheck& check, juce::DynamicObject& format)
    {
        format.setProperty ("state", BundleVerifier::stateName (check.verdict.state));
        format.setProperty ("reason", orNull (oneLine (check.verdict.reason)));
        format.setProperty ("path", check.bundle.getFullPathName());
    });

    return asJson (juce::var (object.get())) + "\n";
}
