#include "core/StagingArea.h"
#include "core/HeldFiles.h"

#include <algorithm>
#include <limits>
#include <vector>

#if JUCE_WINDOWS
 #include "core/WindowsHeaders.h"
#else
 #include <cerrno>
 #include <signal.h>
 #include <unistd.h>
#endif

namespace
{
    constexpr const char* stagingMarker = ".staging-";
    constexpr int maxStagingFoldersPerProcess = 100;

    juce::String stagingPrefixFor (const juce::String& bundleName)
    {
        return "." + bundleName + stagingMarker;
    }

    void tell (const StagingArea::Log& log, const juce::String& line)
    {
        if (log != nullptr)
            log (line);
    }

    /** The number that follows the prefix in a name, or -1 for any other name. */
    juce::int64 numberAfter (const juce::String& name, const juce::String& prefix)
    {
        if (! name.startsWith (prefix))
            return -1;

        const auto digits = name.substring (prefix.length());

        if (digits.isEmpty() || digits.length() > 10 || ! digits.containsOnly ("0123456789"))
            return -1;

        return digits.getLargeIntValue();
    }

    /** The process id in a staging folder's name: the number after the prefix, alone or
        followed by "-" and the folder's own number; -1 for any other name. */
    int processIdOf (const juce::String& folderName, const juce::String& prefix)
    {
        if (! folderName.startsWith (prefix))
            return -1;

        const auto rest = folderName.substring (prefix.length());
        const auto idText = rest.upToFirstOccurrenceOf ("-", false, false);

        if (idText != rest && numberAfter (rest.fromFirstOccurrenceOf ("-", false, false), {}) < 0)
            return -1;

        const auto processId = numberAfter (idText, {});
        return processId > 0 && processId <= std::numeric_limits<int>::max() ? (int) processId : -1;
    }

    /** The items of a staging folder whose names start with the prefix, by their number. */
    std::vector<std::pair<juce::int64, juce::File>> numberedItems (const juce::File& staging, const juce::String& prefix)
    {
        std::vector<std::pair<juce::int64, juce::File>> items;

        for (const auto& entry : juce::RangedDirectoryIterator (staging, false, prefix + "*", juce::File::findFilesAndDirectories))
            if (const auto number = numberAfter (entry.getFile().getFileName(), prefix); number >= 0)
                items.emplace_back (number, entry.getFile());

        std::sort (items.begin(), items.end());
        return items;
    }
}

//==============================================================================
juce::File StagingArea::folderFor (const juce::File& installFolder, const juce::String& bundleName, int processId)
{
    return installFolder.getChildFile (stagingPrefixFor (bundleName) + juce::String (processId));
}

juce::File StagingArea::freshFolder (const juce::File& installFolder, const juce::String& bundleName)
{
    const auto first = folderFor (installFolder, bundleName, currentProcessId());

    for (int i = 0; i < maxStagingFoldersPerProcess; ++i)
    {
        const auto folder = i == 0 ? first : first.getSiblingFile (first.getFileName() + "-" + juce::String (i));

        if (! isThere (folder))
            return folder;
    }

    return {};
}

juce::String StagingArea::discard (const juce::File& staging, const juce::String& whatIsLeft, const Log& log)
{
    for (const auto& [number, aside] : numberedItems (staging, asidePrefix))
        HeldFiles::move (aside, staging.getChildFile (removedPrefix + juce::String (number)));

    staging.deleteRecursively (false);

    if (! isThere (staging))
        return {};

    const auto holders = HeldFiles::holdersOf (staging);
    const auto queued = HeldFiles::removeAtRestart (staging);
    const auto note = whatIsLeft + (holders.isEmpty() ? " could not be removed completely"
                                                      : " is still held by " + holders.joinIntoString (", "))
                    + "; what is left of it, in " + staging.getFullPathName() + ", goes at the next run"
                    + (queued ? " or at the next restart" : "");
    tell (log, "could not remove everything in " + staging.getFullPathName()
                 + (holders.isEmpty() ? juce::String() : ", held by " + holders.joinIntoString (", ")));
    return note;
}

juce::Array<juce::File> StagingArea::recoverAbandonedFolders (const juce::File& installFolder, const juce::String& bundleName,
                                                            const Log& log)
{
    const auto prefix = stagingPrefixFor (bundleName);
    const auto bundle = installFolder.getChildFile (bundleName);
    juce::Array<juce::File> leftovers;

    for (const auto& entry : juce::RangedDirectoryIterator (installFolder, false, "*", juce::File::findDirectories))
    {
        const auto folder = entry.getFile();
        const auto processId = processIdOf (folder.getFileName(), prefix);

        // A folder with this process's id is an earlier process's: each run makes its own.
        if (processId <= 0 || (processId != currentProcessId() && isProcessAlive (processId)))
            continue;

        // An installer that died between the two moves of its swap left the old bundle here.
        if (! isThere (bundle))
        {
            const auto aside = numberedItems (folder, asidePrefix);

            if (! aside.empty())
            {
                if (! aside.back().second.moveFileTo (bundle))
                {
                    tell (log, "could not put the earlier bundle back from " + aside.back().second.getFullPathName());
                    leftovers.add (folder);
                    continue;
                }

                tell (log, "put back the bundle a stopped run had moved aside, from " + folder.getFullPathName());
            }
        }

        if (discard (folder, "A leftover of an earlier run", {}).isEmpty())
        {
            tell (log, "removed the leftover folder " + folder.getFullPathName());
        }
        else
        {
            tell (log, "left the leftover folder " + folder.getFullPathName() + " behind: it cannot be removed yet");
            leftovers.add (folder);
        }
    }

    return leftovers;
}

int StagingArea::currentProcessId()
{
   #if JUCE_WINDOWS
    return (int) GetCurrentProcessId();
   #else
    return (int) getpid();
   #endif
}

bool StagingArea::isProcessAlive (int processId)
{
    if (processId <= 0)
        return false;

   #if JUCE_WINDOWS
    const auto handle = OpenProcess (SYNCHRONIZE, FALSE, (DWORD) processId);

    if (handle == nullptr)
        return GetLastError() == ERROR_ACCESS_DENIED;

    const auto running = WaitForSingleObject (handle, 0) == WAIT_TIMEOUT;
    CloseHandle (handle);
    return running;
   #else
    // Signal 0 only asks whether the process exists; EPERM means it does but is not ours.
    return kill ((pid_t) processId, 0) == 0 || errno == EPERM;
   #endif
}

juce::String StagingArea::leftoversNote (const juce::Array<juce::File>& leftovers)
{
    if (leftovers.isEmpty())
        return {};

    juce::StringArray paths;

    for (const auto& folder : leftovers)
        paths.add (folder.getFullPathName());

    return "A leftover of an earlier run could not be removed yet: " + paths.joinIntoString (", ")
         + "; the next run tries again";
}

bool StagingArea::isThere (const juce::File& item)
{
    return item.exists() || item.isSymbolicLink();
}
