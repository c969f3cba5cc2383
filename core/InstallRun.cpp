#include "core/InstallRun.h"
#include "core/DiskSpace.h"
#include "core/ZipDirectory.h"

#include <PayloadArchives.h>

std::vector<InstallEngine::FormatResult> InstallRun::run (Action action,
                                                          const Selection& chosen,
                                                          const Folders& installFolders,
                                                          const juce::String& productName,
                                                          const BeforeFormat& beforeFormat,
                                                          const InstallEngine::Log& log)
{
    std::vector<InstallEngine::FormatResult> results;

    for (int formatIndex = 0; formatIndex < ProductDefinition::numFormats; ++formatIndex)
    {
        if (! chosen[(size_t) formatIndex])
            continue;

        if (beforeFormat != nullptr)
            beforeFormat (formatIndex);

        const auto& folder = installFolders[(size_t) formatIndex];
        const auto bundleName = ProductDefinition::bundleName (productName, formatIndex);
        InstallEngine::Log formatLog;

        if (log != nullptr)
            formatLog = [&log, formatIndex] (const juce::String& line) { log (formatNames[formatIndex] + ": " + line); };

        if (action == Action::uninstall)
        {
            results.push_back (InstallEngine::uninstall (formatIndex, folder, bundleName, formatLog));
        }
        else
        {
            const auto payload = payloadFor (formatIndex);

            // Before anything is written, not even the install folder.
            if (const auto records = ZipDirectory::read (payload.data, payload.size))
            {
                if (const auto reason = DiskSpace::shortfall (folder, ZipDirectory::totalsOf (*records).bytes))
                {
                    InstallEngine::FormatResult noRoom { formatIndex, false, *reason, {}, false };
                    noRoom.lacksSpace = true;
                    results.push_back (noRoom);
                    continue;
                }
            }

            results.push_back (InstallEngine::install (formatIndex, folder, bundleName, payload.data, payload.size, formatLog));
        }
    }

    return results;
}

void InstallRun::addRunNote (std::vector<InstallEngine::FormatResult>& results, const juce::String& note)
{
    if (results.empty() || note.isEmpty())
        return;

    auto& last = results.back().note;
    last = last.isEmpty() ? note : last + "; " + note;
}

InstallRun::Payload InstallRun::payloadFor (int formatIndex)
{
    switch (formatIndex)
    {
        case ProductDefinition::vst3:  return { PayloadArchives::vst3_zip, (size_t) PayloadArchives::vst3_zipSize };
        case ProductDefinition::clap:  return { PayloadArchives::clap_zip, (size_t) PayloadArchives::clap_zipSize };
        case ProductDefinition::aax:   return { PayloadArchives::aax_zip,  (size_t) PayloadArchives::aax_zipSize };
        default:                       break;
    }

    jassertfalse;
    return {};
}
