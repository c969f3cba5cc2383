#include "core/InstallEngine.h"

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

    juce::Result unpackInto (const juce::MemoryBlock& archive, const juce::File& destination)
    {
        juce::ZipFile zip (new juce::MemoryInputStream (archive, false), true);

        if (zip.getNumEntries() == 0)
            return juce::Result::fail ("The archive is empty or damaged");

        for (int i = 0; i < zip.getNumEntries(); ++i)
        {
            const auto result = zip.uncompressEntry (i, destination, true);

            if (result.failed())
                return result;
        }

        return juce::Result::ok();
    }

    bool bundleIsThere (const juce::File& bundle)
    {
        return bundle.exists() || bundle.isSymbolicLink();
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
            const auto aside = staging.getChildFile ("previous-" + juce::String (attempt));
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

    if (const auto created = installFolder.createDirectory(); created.failed())
        return failed (formatIndex, "Could not create the install folder " + installFolder.getFullPathName() + ": " + created.getErrorMessage());

    removeAbandonedStagingFolders (installFolder, bundleName);

    const auto staging = stagingFolderFor (installFolder, bundleName, currentProcessId());
    staging.deleteRecursively();

    if (const auto created = staging.createDirectory(); created.failed())
        return failed (formatIndex, "Could not create a staging folder in " + installFolder.getFullPathName() + ": " + created.getErrorMessage());

    auto result = unpackInto (archive, staging);
    archive.reset();

    const auto staged = staging.getChildFile (bundleName);

    if (result.wasOk() && ! staged.exists())
        result = juce::Result::fail ("The archive does not hold " + bundleName);

    if (result.wasOk())
        result = replaceBundle (installFolder.getChildFile (bundleName), staged, staging);

    staging.deleteRecursively();

    if (result.failed())
        return failed (formatIndex, result.getErrorMessage());

    return succeeded (formatIndex);
}

InstallEngine::FormatResult InstallEngine::uninstall (int formatIndex, const juce::File& installFolder, const juce::String& bundleName)
{
    const auto bundle = installFolder.getChildFile (bundleName);

    removeAbandonedStagingFolders (installFolder, bundleName);
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

void InstallEngine::removeAbandonedStagingFolders (const juce::File& installFolder, const juce::String& bundleName)
{
    const auto prefix = stagingPrefixFor (bundleName);

    for (const auto& entry : juce::RangedDirectoryIterator (installFolder, false, "*", juce::File::findDirectories))
    {
        const auto name = entry.getFile().getFileName();

        if (! name.startsWith (prefix))
            continue;

        const auto idText = name.substring (prefix.length());

        if (idText.isEmpty() || ! idText.containsOnly ("0123456789"))
            continue;

        const auto processId = idText.getIntValue();

        if (processId != currentProcessId() && ! isProcessAlive (processId))
            entry.getFile().deleteRecursively();
    }
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
