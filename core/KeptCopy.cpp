#include "core/KeptCopy.h"
#include "core/FormatStatus.h"
#include "core/HeldFiles.h"
#include "core/StagingArea.h"
#include "core/ModuleVersionReader.h"
#include "core/ProductDefinition.h"

#if JUCE_WINDOWS
 #include "core/WindowsHeaders.h"
 #include <algorithm>
 #include <string>
 #include <vector>
#else
 #include <cstdio>
 #include <cstring>
 #include <cerrno>
#endif

namespace
{
    /** Renames in one step, replacing what is at the target. */
    juce::Result renameOver (const juce::File& from, const juce::File& to)
    {
       #if JUCE_WINDOWS
        if (MoveFileExW (from.getFullPathName().toWideCharPointer(), to.getFullPathName().toWideCharPointer(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return juce::Result::ok();

        return juce::Result::fail ("system error " + juce::String ((int) GetLastError()));
       #else
        if (std::rename (from.getFullPathName().toRawUTF8(), to.getFullPathName().toRawUTF8()) == 0)
            return juce::Result::ok();

        return juce::Result::fail (std::strerror (errno));
       #endif
    }

   #if JUCE_WINDOWS
    constexpr const wchar_t* sessionManagerKey = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    constexpr const wchar_t* pendingValueName  = L"PendingFileRenameOperations";

    /** The queued operations, pairs of a source and a target (empty for a deletion). */
    std::vector<std::wstring> readPendingOperations (HKEY key)
    {
        DWORD type = 0, bytes = 0;

        if (RegQueryValueExW (key, pendingValueName, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_MULTI_SZ)
            return {};

        std::vector<wchar_t> buffer (bytes / sizeof (wchar_t) + 2, L'\0');

        if (RegQueryValueExW (key, pendingValueName, nullptr, &type, reinterpret_cast<BYTE*> (buffer.data()), &bytes) != ERROR_SUCCESS)
            return {};

        // Each string ends with a null; an empty target is an empty string, so the list's end is
        // the buffer's size, not the first empty string.
        std::vector<std::wstring> strings;
        const auto count = bytes / sizeof (wchar_t);

        for (size_t start = 0; start < count;)
        {
            const auto end = std::find (buffer.begin() + (std::ptrdiff_t) start, buffer.begin() + (std::ptrdiff_t) count, L'\0');
            strings.emplace_back (buffer.begin() + (std::ptrdiff_t) start, end);
            start = (size_t) (end - buffer.begin()) + 1;
        }

        // The list ends with one more null, which reads as a last, lone empty string.
        if (strings.size() % 2 == 1 && strings.back().empty())
            strings.pop_back();

        return strings;
    }
   #endif

    bool isEmptyFolder (const juce::File& folder)
    {
        return folder.isDirectory() && folder.getNumberOfChildFiles (juce::File::findFilesAndDirectories) == 0;
    }
}

juce::File KeptCopy::location()
{
   #if JUCE_WINDOWS
    return juce::File (ProductDefinition::keptCopyPath());
   #else
    return {};
   #endif
}

juce::File KeptCopy::runningExecutable()
{
    return juce::File::getSpecialLocation (juce::File::currentExecutableFile);
}

juce::File KeptCopy::temporaryFor (const juce::File& target)
{
    // The process id keeps two installers running at once out of each other's way.
    return target.getSiblingFile ("." + target.getFileName() + ".new-" + juce::String (StagingArea::currentProcessId()));
}

juce::Result KeptCopy::refresh (const juce::File& source, const juce::File& target)
{
    if (source == target)
        return juce::Result::ok();

    if (! source.existsAsFile())
        return juce::Result::fail ("the installer's own file " + source.getFullPathName() + " cannot be read");

    const auto ownVersion = ModuleVersionReader::readFileVersion (source);
    const auto keptIsCurrent = [&]
    {
        const auto keptVersion = target.existsAsFile() ? ModuleVersionReader::readFileVersion (target) : juce::String();
        return keptVersion.isNotEmpty() && FormatStatus::compareReleases (keptVersion, ownVersion) >= 0;
    };

    if (keptIsCurrent())
        return juce::Result::ok();

    // Another installer running at the same moment may make the folders first, one of them
    // between two of this one's steps: no failure, just another go.
    const auto folder = target.getParentDirectory();
    auto created = juce::Result::ok();

    for (int attempt = 0; attempt < 8 && ! folder.isDirectory(); ++attempt)
        created = folder.createDirectory();

    if (! folder.isDirectory())
        return juce::Result::fail ("could not create " + folder.getFullPathName() + ": " + created.getErrorMessage());

    const auto temporary = temporaryFor (target);

    if (! source.copyFileTo (temporary))
    {
        temporary.deleteFile();
        return juce::Result::fail ("could not write " + temporary.getFullPathName());
    }

    if (const auto renamed = renameOver (temporary, target); renamed.failed())
    {
        temporary.deleteFile();

        // Another installer may hold the copy it has just put there, which serves as well.
        if (! keptIsCurrent())
            return juce::Result::fail ("could not replace " + target.getFullPathName() + ": " + renamed.getErrorMessage());
    }

    return juce::Result::ok();
}

bool KeptCopy::cancelRemovalAtRestart (const juce::File& copy)
{
   #if JUCE_WINDOWS
    HKEY key = nullptr;

    if (RegOpenKeyExW (HKEY_LOCAL_MACHINE, sessionManagerKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return false;

    const auto operations = readPendingOperations (key);
    const auto isOurs = [ours = juce::Array<juce::File> { copy, copy.getParentDirectory(), copy.getParentDirectory().getParentDirectory() }]
                        (const std::wstring& source)
    {
        auto path = juce::String (source.c_str());

        if (path.startsWith ("\\??\\"))
            path = path.substring (4);

        return juce::File::isAbsolutePath (path) && ours.contains (juce::File (path));
    };

    std::vector<wchar_t> kept;
    bool cancelled = false;

    for (size_t i = 0; i + 1 < operations.size(); i += 2)
    {
        if (operations[i + 1].empty() && isOurs (operations[i]))
        {
            cancelled = true;
            continue;
        }

        for (const auto& text : { operations[i], operations[i + 1] })
        {
            kept.insert (kept.end(), text.begin(), text.end());
            kept.push_back (L'\0');
        }
    }

    auto done = true;

    if (cancelled && kept.empty())
    {
        done = RegDeleteValueW (key, pendingValueName) == ERROR_SUCCESS;
    }
    else if (cancelled)
    {
        kept.push_back (L'\0');
        done = RegSetValueExW (key, pendingValueName, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*> (kept.data()),
                               (DWORD) (kept.size() * sizeof (wchar_t))) == ERROR_SUCCESS;
    }

    RegCloseKey (key);
    return done;
   #else
    juce::ignoreUnused (copy);
    return true;
   #endif
}

juce::Result KeptCopy::retire (const juce::File& copy, bool isRunning)
{
    const auto folder = copy.getParentDirectory();
    const auto makerFolder = folder.getParentDirectory();

    // What a run stopped half-way through writing the copy left beside it.
    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "." + copy.getFileName() + ".new-*", juce::File::findFiles))
        entry.getFile().deleteFile();

    if (! isRunning)
    {
        copy.deleteFile();

        if (isEmptyFolder (folder))
            folder.deleteFile();

        if (isEmptyFolder (makerFolder))
            makerFolder.deleteFile();

        if (! copy.exists())
            return juce::Result::ok();
    }

    // Deepest first, so that each folder is empty when its turn comes; another product's
    // folder keeps the maker's.
    const auto onlyOurs = makerFolder.getNumberOfChildFiles (juce::File::findFilesAndDirectories) == 1;
    const auto queued = onlyOurs ? makerFolder : folder;

    if (! HeldFiles::removeAtRestart (queued))
        return juce::Result::fail ("could not queue " + queued.getFullPathName() + " for removal at the next restart");

    return juce::Result::ok();
}
