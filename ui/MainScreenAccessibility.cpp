#include "ui/MainScreenAccessibility.h"
#include "ui/MainScreenPainter.h"
#include "ui/HiddenButton.h"
#include "core/ProductDefinition.h"
#include "core/FormatStatus.h"
#include "core/HintText.h"

namespace
{
    juce::String hintFor (const juce::String& name, bool bundleExists, const juce::String& productVersion)
    {
        return HintText::forButton (name, bundleExists, productVersion).value_or (juce::String());
    }

    juce::String joinedNames (const juce::StringArray& names)
    {
        if (names.size() < 2)
            return names.joinIntoString ({});

        return names.joinIntoString (", ", 0, names.size() - 1) + " and " + names[names.size() - 1];
    }
}

void MainScreenAccessibility::describeButtons (juce::Component& screen, State state)
{
    for (int i = 0; i < extrasNames.size(); ++i)
    {
        const auto name = extrasNames[i];
        HiddenButton::describe (screen, name, { [name] { return name; },
                                                [name, state] { return hintFor (name, false, state.productVersion); },
                                                {}, {} });
    }

    for (int i = 0; i < ProductDefinition::numFormats; ++i)
    {
        const auto name = formatNames[i];
        const auto folder = [state, i] { return state.installFolders[(size_t) i]; };

        const auto status = [state, folder, i] { return FormatStatus::detect (folder(), state.productName, state.productVersion, i).getStatusText(); };

        // The status is read with the description, as the focus arrives: help is often skipped.
        HiddenButton::describe (screen, name, {
            [name] { return name; },
            [name, state, folder, status, i] { return status() + ". " + hintFor (name, ProductDefinition::bundleFor (folder(), state.productName, i).exists(),
                                                                                 state.productVersion); },
            status,
            [state, i] { return state.formatSelected[(size_t) i]; } });
    }

    // Removal has no button of its own: the description tells how to reach it from the keyboard.
    HiddenButton::describe (screen, "INSTALL", { [state] { return juce::String (state.uninstallMode ? "UNINSTALL" : "INSTALL"); },
                                                 [state] { return hintFor ("INSTALL", false, state.productVersion)
                                                                  + ". Shift+Return removes the selected formats"; },
                                                 {}, {} });

    HiddenButton::describe (screen, "SELECT_ALL", { [] { return juce::String ("SELECT ALL"); }, {}, {}, {} });
}

juce::String MainScreenAccessibility::describeResult (const std::vector<InstallEngine::FormatResult>& results, bool removed)
{
    auto caption = MainScreenPainter::resultCaption (results);

    if (! caption.endsWithChar ('!'))
        caption << ".";

    juce::StringArray done, sentences { caption };

    for (const auto& result : results)
        if (result.succeeded)
            done.add (formatNames[result.formatIndex]);

    if (results.empty())
        sentences.add (removed ? "No format was selected, so nothing was removed." : "No format was selected, so nothing was installed.");
    else if (! done.isEmpty())
        sentences.add ((removed ? "Removed " : "Installed ") + joinedNames (done) + ".");

    for (const auto& result : results)
        if (! result.succeeded)
            sentences.add (formatNames[result.formatIndex] + " failed: " + result.reason);

    return sentences.joinIntoString (" ");
}
