#include "core/InstallEngine.h"
#include "core/ArchiveUnpacker.h"
#include "core/HeldFiles.h"
#include "core/StagingArea.h"
#include "core/ZipDirectory.h"

namespace
{
    constexpr const char* incomingName  = StagingArea::incomingName;
    constexpr const char* asidePrefix   = StagingArea::asidePrefix;
    constexpr const char* removedPrefix = StagingArea::removedPrefix;

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
        return StagingArea::isThere (bundle);
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

    const auto leftovers = StagingArea::recoverAbandonedFolders (installFolder, bundleName, log);

    // A fresh folder of this process, so that nothing old can mix into the new bundle.
    const auto staging = StagingArea::freshFolder (installFolder, bundleName);

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
    const auto held = StagingArea::discard (staging, swap.result.wasOk() ? "The new bundle is in place, but the old one"
                                                                          : "The unfinished bundle", log);

    if (swap.result.failed())
        return failed (formatIndex, swap.result.getErrorMessage(), swap.inUse);

    if (held.isEmpty())
        tell (log, "removed the old bundle");

    return succeeded (formatIndex, held.isNotEmpty() ? held : StagingArea::leftoversNote (leftovers));
}

InstallEngine::FormatResult InstallEngine::uninstall (int formatIndex, const juce::File& installFolder, const juce::String& bundleName,
                                                      const Log& log)
{
    const auto bundle = installFolder.getChildFile (bundleName);
    const auto leftovers = StagingArea::recoverAbandonedFolders (installFolder, bundleName, log);

    if (! bundleIsThere (bundle))
    {
        tell (log, "nothing to remove at " + bundle.getFullPathName());
        return succeeded (formatIndex, StagingArea::leftoversNote (leftovers));
    }

    // One rename takes the whole bundle out of the hosts' sight; a failure leaves it whole.
    const auto staging = StagingArea::freshFolder (installFolder, bundleName);

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

    const auto held = StagingArea::discard (staging, "The bundle is gone from where hosts look, but its old copy", log);

    if (held.isEmpty())
        tell (log, "removed the bundle");

    return succeeded (formatIndex, held.isNotEmpty() ? held : StagingArea::leftoversNote (leftovers));
}
