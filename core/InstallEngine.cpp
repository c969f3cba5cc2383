#include "core/InstallEngine.h"
#include "core/ArchiveUnpacker.h"

#include <limits>

#if JUCE_WINDOWS
 #include <windows.h>
#else
 #include <cerrno>
 #include <signal.h>
 #include <unistd.h>
#endif

namespace
{
    constexpr const char* stagingMarker = ".staging-";

    // Inside a staging folder: the new bundle until it moves into place, under a name no
    // host takes for a plug-in, and the bundles moved aside for it.
    constexpr const char* incomingName = "incoming";
    constexpr const char* asidePrefix  = "previous-";

    juce::String stagingPrefixFor (const juce::String& bundleName)
    {
        return "." + bundleName + stagingMarker;
    }

    InstallEngine::FormatResult succeeded (int formatIndex)
    {
        return { formatIndex, true, {} };
    }

    InstallEngine::FormatResult failed (int formatIndex, const juce::String& reason)
    {
        return { formatIndex, false, reason };
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

    /** Removes the folder with everything in it; true when it is gone. */
    bool clearFolder (const juce::File& folder)
    {
        folder.deleteRecursively (false);
        return ! bundleIsThere (folder);
    }

    /** The number that follows the prefix in a name, or -1 for any other name. */
    int numberAfter (const juce::String& name, const juce::String& prefix)
    {
        if (! name.startsWith (prefix))
            return -1;

        const auto digits = name.substring (prefix.length());

        if (digits.isEmpty() || digits.length() > 10 || ! digits.containsOnly ("0123456789"))
            return -1;

        const auto number = digits.getLargeIntValue();
        return number <= std::numeric_limits<int>::max() ? (int) number : -1;
    }

    /** Of the bundles a swap moved aside, the one that was in place last. */
    juce::File lastBundleMovedAside (const juce::File& staging)
    {
        juce::File last;
        int lastNumber = -1;

        for (const auto& entry : juce::RangedDirectoryIterator (staging, false, juce::String (asidePrefix) + "*",
                                                                juce::File::findFilesAndDirectories))
        {
            if (const auto number = numberAfter (entry.getFile().getFileName(), asidePrefix); number > lastNumber)
            {
                lastNumber = number;
                last = entry.getFile();
            }
        }

        return last;
    }

    /** Swaps the staged bundle into place. The old bundle is first moved aside inside the
        staging folder, so that it can be put back if the new one cannot be moved in. Another
        installer may put its own bundle in between the two moves; that one is moved aside
        too and the swap tried again. */
    juce::Result replaceBundle (const juce::File& bundle, const juce::File& staged, const juce::File& staging)
    {
        constexpr int maxAttempts = 4;

        // A link to nothing is no bundle, and the framework cannot move it aside.
        if (bundle.isSymbolicLink() && ! bundle.exists())
            bundle.deleteFile();

        for (int attempt = 0; attempt < maxAttempts; ++attempt)
        {
            const auto aside = staging.getChildFile (asidePrefix + juce::String (attempt));
            const bool hadBundle = bundleIsThere (bundle);

            if (hadBundle && ! bundle.moveFileTo (aside) && bundleIsThere (bundle))
                return juce::Result::fail ("Could not move the installed bundle aside: " + bundle.getFullPathName());

            if (staged.moveFileTo (bundle))
                return juce::Result::ok();

            if (! bundleIsThere (bundle))
            {
                if (hadBundle)
                    aside.moveFileTo (bundle);

                return juce::Result::fail ("Could not move the new bundle into place: " + bundle.getFullPathName());
            }
        }

        return juce::Result::fail ("The bundle kept being replaced by another installer: " + bundle.getFullPathName());
    }
}

//==============================================================================
InstallEngine::FormatResult InstallEngine::install (int formatIndex, const juce::File& installFolder, const juce::String& bundleName,
                                                    const void* archiveData, size_t archiveSize)
{
    juce::String reason;
    juce::MemoryBlock archive;

    if (! copyArchive (archive, archiveData, archiveSize, reason))
        return failed (formatIndex, reason);

    if (const auto created = createFolderBesideOthers (installFolder); created.failed())
        return failed (formatIndex, "Could not create the install folder " + installFolder.getFullPathName() + ": " + created.getErrorMessage());

    if (const auto recovered = recoverAbandonedStagingFolders (installFolder, bundleName); recovered.failed())
        return failed (formatIndex, recovered.getErrorMessage());

    const auto staging = stagingFolderFor (installFolder, bundleName, currentProcessId());

    // A folder of this name can only be left by an earlier process with the same id; what it
    // holds must not end up in the new bundle.
    if (! clearFolder (staging))
        return failed (formatIndex, "Could not remove the leftover folder " + staging.getFullPathName());

    if (const auto created = staging.createDirectory(); created.failed())
        return failed (formatIndex, "Could not create a staging folder in " + installFolder.getFullPathName() + ": " + created.getErrorMessage());

    const auto staged = staging.getChildFile (incomingName);
    auto result = ArchiveUnpacker::unpack (archive.getData(), archive.getSize(), bundleName, staged);
    archive.reset();

    if (result.wasOk())
        result = replaceBundle (installFolder.getChildFile (bundleName), staged, staging);

    // After a swap the old bundle is in here; after a failure, the partial new one.
    staging.deleteRecursively();

    if (result.failed())
        return failed (formatIndex, result.getErrorMessage());

    return succeeded (formatIndex);
}

InstallEngine::FormatResult InstallEngine::uninstall (int formatIndex, const juce::File& installFolder, const juce::String& bundleName)
{
    const auto bundle = installFolder.getChildFile (bundleName);

    if (const auto recovered = recoverAbandonedStagingFolders (installFolder, bundleName); recovered.failed())
        return failed (formatIndex, recovered.getErrorMessage());

    bundle.deleteRecursively (false);

    if (bundleIsThere (bundle))
        return failed (formatIndex, "Could not remove " + bundle.getFullPathName());

    return succeeded (formatIndex);
}

//==============================================================================
juce::File InstallEngine::stagingFolderFor (const juce::File& installFolder, const juce::String& bundleName, int processId)
{
    return installFolder.getChildFile (stagingPrefixFor (bundleName) + juce::String (processId));
}

juce::Result InstallEngine::recoverAbandonedStagingFolders (const juce::File& installFolder, const juce::String& bundleName)
{
    const auto prefix = stagingPrefixFor (bundleName);
    const auto bundle = installFolder.getChildFile (bundleName);

    for (const auto& entry : juce::RangedDirectoryIterator (installFolder, false, "*", juce::File::findDirectories))
    {
        const auto folder = entry.getFile();
        const auto processId = numberAfter (folder.getFileName(), prefix);

        if (processId <= 0 || processId == currentProcessId() || isProcessAlive (processId))
            continue;

        // An installer that died between the two moves of its swap left the old bundle here.
        if (! bundleIsThere (bundle))
        {
            const auto aside = lastBundleMovedAside (folder);

            if (aside.exists() && ! aside.moveFileTo (bundle))
                return juce::Result::fail ("Could not put the earlier bundle back from " + aside.getFullPathName());
        }

        if (! clearFolder (folder))
            return juce::Result::fail ("Could not remove the leftover folder " + folder.getFullPathName());
    }

    return juce::Result::ok();
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
