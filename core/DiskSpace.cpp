#include "core/DiskSpace.h"

#if JUCE_WINDOWS
 #include "core/WindowsHeaders.h"
#else
 #include <sys/statvfs.h>
#endif

juce::File DiskSpace::nearestExistingFolder (const juce::File& folder)
{
    auto candidate = folder;

    while (! candidate.isDirectory())
    {
        const auto parent = candidate.getParentDirectory();

        if (parent == candidate)
            return {};

        candidate = parent;
    }

    return candidate;
}

juce::int64 DiskSpace::bytesFreeFor (const juce::File& folder)
{
    const auto existing = nearestExistingFolder (folder);

    if (existing == juce::File())
        return -1;

   #if JUCE_WINDOWS
    // The folder's own volume, which is not its drive's where a volume is mounted on a folder:
    // the framework only asks about the drive.
    ULARGE_INTEGER available {}, total {}, free {};
    const auto path = existing.getFullPathName().trimCharactersAtEnd ("\\") + "\\";

    if (! GetDiskFreeSpaceExW (path.toWideCharPointer(), &available, &total, &free))
        return -1;

    return (juce::int64) available.QuadPart;
   #else
    // What a user other than root may use, as the framework counts it, but with a failure
    // told apart from a full volume.
    struct statvfs info {};

    if (statvfs (existing.getFullPathName().toRawUTF8(), &info) != 0)
        return -1;

    return (juce::int64) info.f_bavail * (juce::int64) info.f_frsize;
   #endif
}

std::optional<juce::String> DiskSpace::shortfall (const juce::File& installFolder, juce::int64 bytesNeeded)
{
    const auto bytesFree = bytesFreeFor (installFolder);

    if (bytesFree < 0 || bytesFree >= bytesNeeded)
        return {};

    return "Not enough space in " + installFolder.getFullPathName() + ": the bundle needs " + describe (bytesNeeded, true)
         + ", but only " + describe (bytesFree, false) + " is free";
}

juce::String DiskSpace::describe (juce::int64 bytes, bool roundUp)
{
    constexpr juce::int64 kibibyte = 1024, mebibyte = 1024 * 1024;

    if (bytes < mebibyte)
        return juce::String ((bytes + (roundUp ? kibibyte - 1 : 0)) / kibibyte) + " KiB";

    const auto tenths = (bytes * 10 + (roundUp ? mebibyte - 1 : 0)) / mebibyte;
    return juce::String (tenths / 10) + "." + juce::String (tenths % 10) + " MiB";
}
