#include "core/LinkSafeRemoval.h"

#if JUCE_WINDOWS
 #include "core/WindowsHeaders.h"
 #include <vector>
#else
 #include <unistd.h>
#endif

namespace
{
   #if JUCE_WINDOWS
    /** The path of what the handle refers to, after every link and junction on the way, as
        C:\... or \\server\share\.... */
    juce::String finalPathOf (HANDLE handle)
    {
        std::vector<wchar_t> buffer (MAX_PATH + 1);

        for (;;)
        {
            const auto length = GetFinalPathNameByHandleW (handle, buffer.data(), (DWORD) buffer.size(),
                                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
            if (length == 0)
                return {};

            if (length < buffer.size())
                break;

            buffer.resize ((size_t) length + 1);
        }

        const juce::String path (buffer.data());

        if (path.startsWith ("\\\\?\\UNC\\"))
            return "\\\\" + path.substring (8);

        return path.startsWith ("\\\\?\\") ? path.substring (4) : path;
    }

    /** The folder's path with short names expanded, as a final path would spell it. */
    juce::String longPathOf (const juce::File& folder)
    {
        const auto path = folder.getFullPathName();
        std::vector<wchar_t> buffer (MAX_PATH + 1);
        auto length = GetLongPathNameW (path.toWideCharPointer(), buffer.data(), (DWORD) buffer.size());

        if (length >= buffer.size())
        {
            buffer.resize ((size_t) length + 1);
            length = GetLongPathNameW (path.toWideCharPointer(), buffer.data(), (DWORD) buffer.size());
        }

        return (length == 0 || length >= buffer.size()) ? path : juce::String (buffer.data());
    }

    struct ScopedHandle
    {
        explicit ScopedHandle (HANDLE h) : handle (h) {}
        ~ScopedHandle()   { if (handle != INVALID_HANDLE_VALUE) CloseHandle (handle); }

        const HANDLE handle;

        JUCE_DECLARE_NON_COPYABLE (ScopedHandle)
    };
   #endif
}

bool LinkSafeRemoval::deleteFileIn (const juce::File& folder, const juce::String& name)
{
    const auto item = folder.getChildFile (name);

   #if JUCE_WINDOWS
    const ScopedHandle opened (CreateFileW (item.getFullPathName().toWideCharPointer(),
                                            DELETE | FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING,
                                            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                            nullptr));
    if (opened.handle == INVALID_HANDLE_VALUE)
        return false;

    // A link to a folder is a folder here, as it is to juce::File::existsAsFile.
    FILE_BASIC_INFO basic {};

    if (! GetFileInformationByHandleEx (opened.handle, FileBasicInfo, &basic, sizeof (basic))
        || (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;

    // A folder on the way that was swapped for a junction shows in the final path.
    const auto expectedFolder = longPathOf (folder).trimCharactersAtEnd ("\\/");
    const auto finalPath = finalPathOf (opened.handle);

    if (! finalPath.upToLastOccurrenceOf ("\\", false, false).equalsIgnoreCase (expectedFolder)
        || ! finalPath.fromLastOccurrenceOf ("\\", false, false).equalsIgnoreCase (name))
        return false;

    FILE_DISPOSITION_INFO disposition {};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle (opened.handle, FileDispositionInfo, &disposition, sizeof (disposition)) != 0;
   #else
    // unlink never follows the last name and never removes a folder.
    return ::unlink (item.getFullPathName().toRawUTF8()) == 0;
   #endif
}
