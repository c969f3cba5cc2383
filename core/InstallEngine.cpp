#include "core/InstallEngine.h"
#include "core/ArchiveUnpacker.h"
#include "core/HeldFiles.h"
#include "core/ZipDirectory.h"

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

    // Inside a staging folder: the new bundle until it moves into place, under a name no
    // host takes for a plug-in; the bundles a swap moved aside, which a stopped run's
    // successor may put back; and what is only waiting to be deleted, which nothing puts back.
    constexpr const char* incomingName  = "incoming";
    constexpr const char* asidePrefix   = "previous-";
    constexpr const char* removedPrefix = "removed-";

    constexpr int maxStagingFoldersPerProcess = 100;

    juce::String stagingPrefixFor (const juce::String& bundleName)
    {
        return "." + bundleName + stagingMarker;
    }

    InstallEngine::FormatResult succeeded (int formatIndex, const juce::String& note = {})
    {
        return { formatIndex, true, {}, note, false };
    }

    InstallEngine::FormatResult failed (int formatIndex, const juce::String& reason, bool inUse = false)
    {
        return { formatIndex, false, reason, {}, inUse };
    }

    void tell (const InstallEngine::Log& log, const juce::String& line)
    {
        if (log != nullptr)
            log (line);
    }

    /** A copy of the archive that the zip reader can own a stream over. */
    bool copyArchive (juce::MemoryBlock& block, const void* data, size_t size, juce::String& reason)
    {
        try
        {
            block.replaceAll (data, size);
            return true;
        }
        catch (const std::bad_alloc&)
        {
            reason = "Not enough memory to unpack the archive (" + juce::File::descriptionOfSizeInBytes ((juce::int64) size) + ")";
            return false;
        }
    }

    bool bundleIsThere (const juce::File& bundle)
    {
        return bundle.exists() || bundle.isSymbolicLink();
    }

    /** Creates a folder with its parents, where another installer may be creating the same
        folders at the same moment: its mkdir winning the race is no failure. */
    juce::Result createFolderBesideOthers (const juce::File& folder)
    {
        constexpr int attempts = 8;
        auto result = juce::Result::ok();

        for (int i = 0; i < attempts && ! folder.isDirectory(); ++i)
            result = folder.createDirectory();

        return folder.isDirectory() ? juce::Result::ok() : result;
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

    /** A staging folder of this process that does not exist yet. */
    juce::File freshStagingFolder (const juce::File& installFolder, const juce::String& bundleName)
    {
        const auto first = InstallEngine::stagingFolderFor (installFolder, bundleName, InstallEngine::currentProcessId());

        for (int i = 0; i < maxStagingFoldersPerProcess; ++i)
        {
            const auto folder = i == 0 ? first : first.getSiblingFile (first.getFileName() + "-" + juce::String (i));

            if (! bundleIsThere (folder))
                return folder;
        }

        return {};
    }

    /** Deletes a staging folder with everything in it. Bundles moved aside are first renamed
        as removed, so that a half-deleted one is never put back in place. Where something
        cannot go, it is queued for the next restart where the system offers that, and the
        note says what is left and why. */
    juce::String discardStagingFolder (const juce::File& staging, const juce::String& whatIsLeft, const InstallEngine::Log& log)
    {
        for (const auto& [number, aside] : numberedItems (staging, asidePrefix))
            HeldFiles::move (aside, staging.getChildFile (removedPrefix + juce::String (number)));

        staging.deleteRecursively (false);

        if (! bundleIsThere (staging))
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

    /** The note for leftovers of earlier runs that are still there, if any. */
    juce::String leftoversNote (const juce::Array<juce::File>& leftovers)
    {
        if (leftovers.isEmpty())
            return {};

        juce::StringArray paths;

        for (const auto& folder : leftovers)
            paths.add (folder.getFullPathName());

        return "A leftover of an earlier run could not be removed yet: " + paths.joinIntoString (", ")
             + "; the next run tries again";
    }

    struct Swap
    {
        juce::Result result;
        bool inUse = false;
    };

    /** Swaps the staged bundle into place. The old bundle is first moved aside inside the
        staging folder, so that it can be put back if the new one cannot be moved in. Another
        installer may put its own bundle in between the two moves; that one is moved aside
        too and the swap tried again. */
    Swap replaceBundle (const juce::File& bundle, const juce::File& staged, const juce::File& staging)
    {
        constexpr int maxAttempts = 4;

        // A link to nothing is no bundle, and the framework cannot move it aside.
        if (bundle.isSymbolicLink() && ! bundle.exists())
            bundle.deleteFile();

        for (int attempt = 0; attempt < maxAttempts; ++attempt)
        {
            const auto aside = staging.getChildFile (asidePrefix + juce::String (attempt));
            const bool hadBundle = bundleIsThere (bundle);

            if (hadBundle)
            {
                if (const auto moved = HeldFiles::move (bundle, aside); ! moved.moved && bundleIsThere (bundle))
                    return { juce::Result::fail (moved.inUse ? moved.why : "Could not move the installed bundle aside: "
                                                                           + bundle.getFullPathName() + ": " + moved.why),
                             moved.inUse };
            }

            if (staged.moveFileTo (bundle))
                return { juce::Result::ok() };

            if (! bundleIsThere (bundle))
            {
                if (hadBundle)
                    aside.moveFileTo (bundle);

                return { juce::Result::fail ("Could not move the new bundle into place: " + bundle.getFullPathName()) };
            }
        }

        return { juce::Result::fail ("The bundle kept being replaced by another installer: " + bundle.getFullPathName()) };
    }

    juce::String unpackedSummary (const void* archiveData, size_t archiveSize)
    {
        const auto records = ZipDirectory::read (archiveData, archiveSize);
        const auto files = records ? ZipDirectory::totalsOf (*records) : ZipDirectory::Totals {};

        return "unpacked and verified " + juce::String (files.files) + (files.files == 1 ? " file, " : " files, ")
             + juce::String (files.bytes) + " bytes";
    }
}

//==============================================================================
InstallEngine::FormatResult InstallEngine::install (int formatIndex, const juce::File& installFolder, const juce::String& bundleName,
                                                    const void* archiveData, size_t archiveSize, const Log& log)
{
    juce::String reason;
    juce::MemoryBlock archive;

    if (! copyArchive (archive, archiveData, archiveSize, reason))
        return failed (formatIndex, reason);

    if (const auto created = createFolderBesideOthers (installFolder); created.failed())
        return failed (formatIndex, "Could not create the install folder " + installFolder.getFullPathName() + ": " + created.getErrorMessage());

    const auto leftovers = recoverAbandonedStagingFolders (installFolder, bundleName, log);

    // A fresh folder of this process, so that nothing old can mix into the new bundle.
    const auto staging = freshStagingFolder (installFolder, bundleName);

    if (staging == juce::File())
        return failed (formatIndex, "Too many leftover folders of this process in " + installFolder.getFullPathName());

    if (const auto created = staging.createDirectory(); created.failed())
        return failed (formatIndex, "Could not create a staging folder in " + installFolder.getFullPathName() + ": " + created.getErrorMessage());

    const auto bundle = installFolder.getChildFile (bundleName);
    const auto staged = staging.getChildFile (incomingName);
    auto swap = Swap { ArchiveUnpacker::unpack (archive.getData(), archive.getSize(), bundleName, staged) };

    if (swap.result.wasOk())
    {
        tell (log, unpackedSummary (archive.getData(), archive.getSize()));
        swap = replaceBundle (bundle, staged, staging);
    }

    archive.reset();

    if (swap.result.wasOk())
        tell (log, "swapped the new bundle into " + bundle.getFullPathName());

    // After a swap the old bundle is in here; after a failure, the partial new one.
    const auto held = discardStagingFolder (staging, swap.result.wasOk() ? "The new bundle is in place, but the old one"
                                                                          : "The unfinished bundle", log);

    if (swap.result.failed())
        return failed (formatIndex, swap.result.getErrorMessage(), swap.inUse);

    if (held.isEmpty())
        tell (log, "removed the old bundle");

    return succeeded (formatIndex, held.isNotEmpty() ? held : leftoversNote (leftovers));
}

InstallEngine::FormatResult InstallEngine::uninstall (int formatIndex, const juce::File& installFolder, const juce::String& bundleName,
                                                      const Log& log)
{
    const auto bundle = installFolder.getChildFile (bundleName);
    const auto leftovers = recoverAbandonedStagingFolders (installFolder, bundleName, log);

    if (! bundleIsThere (bundle))
    {
        tell (log, "nothing to remove at " + bundle.getFullPathName());
        return succeeded (formatIndex, leftoversNote (leftovers));
    }

    // One rename takes the whole bundle out of the hosts' sight; a failure leaves it whole.
    const auto staging = freshStagingFolder (installFolder, bundleName);

    if (staging == juce::File() || staging.createDirectory().failed())
        return failed (formatIndex, "Could not create a staging folder in " + installFolder.getFullPathName()
                                        + "; nothing of " + bundleName + " was removed");

    if (const auto moved = HeldFiles::move (bundle, staging.getChildFile (removedPrefix + juce::String (0))); ! moved.moved)
    {
        staging.deleteRecursively();
        return failed (formatIndex, moved.inUse ? moved.why : "Could not move " + bundle.getFullPathName() + " out of the hosts' sight: "
                                                              + moved.why + "; nothing of it was removed",
                       moved.inUse);
    }

    tell (log, "moved " + bundle.getFullPathName() + " into " + staging.getFullPathName());

    const auto held = discardStagingFolder (staging, "The bundle is gone from where hosts look, but its old copy", log);

    if (held.isEmpty())
        tell (log, "removed the bundle");

    return succeeded (formatIndex, held.isNotEmpty() ? held : leftoversNote (leftovers));
}

//==============================================================================
juce::File InstallEngine::stagingFolderFor (const juce::File& installFolder, const juce::String& bundleName, int processId)
{
    return installFolder.getChildFile (stagingPrefixFor (bundleName) + juce::String (processId));
}

juce::Array<juce::File> InstallEngine::recoverAbandonedStagingFolders (const juce::File& installFolder, const juce::String& bundleName,
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
        if (! bundleIsThere (bundle))
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

        if (discardStagingFolder (folder, "A leftover of an earlier run", {}).isEmpty())
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

int InstallEngine::currentProcessId()
{
   #if JUCE_WINDOWS
    return (int) GetCurrentProcessId();
   #else
    return (int) getpid();
   #endif
}

bool InstallEngine::isProcessAlive (int processId)
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
