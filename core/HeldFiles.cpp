#include "core/HeldFiles.h"

#include <algorithm>
#include <limits>
#include <vector>

#if JUCE_WINDOWS
 #include "core/WindowsHeaders.h"
 #include <restartmanager.h>
 #include <string>
#else
 #include <cerrno>
 #include <cstdio>
 #include <cstring>
#endif

namespace
{
   #if JUCE_WINDOWS
    // A bundle holds a handful of files; this only bounds what is asked of the system.
    constexpr int maxFilesAsked = 256;

    juce::String systemMessage (DWORD error)
    {
        wchar_t buffer[512] {};
        const auto length = FormatMessageW (FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                            buffer, (DWORD) juce::numElementsInArray (buffer), nullptr);

        return length > 0 ? juce::String (buffer).trim() : "system error " + juce::String ((int) error);
    }

    /** The item and, for a folder, everything below it. */
    juce::Array<juce::File> itemsAtAndBelow (const juce::File& item, int maxItems)
    {
        juce::Array<juce::File> items { item };

        if (item.isDirectory())
            for (const auto& entry : juce::RangedDirectoryIterator (item, true, "*", juce::File::findFilesAndDirectories))
                if (items.size() < maxItems)
                    items.add (entry.getFile());

        return items;
    }
   #endif
}

HeldFiles::Move HeldFiles::move (const juce::File& from, const juce::File& to)
{
   #if JUCE_WINDOWS
    if (MoveFileExW (from.getFullPathName().toWideCharPointer(), to.getFullPathName().toWideCharPointer(), 0))
        return { true, false, {} };

    const auto error = GetLastError();
    const auto holders = holdersOf (from);

    // Access is also denied when a file below the folder is open in another program.
    const bool inUse = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION
                    || (error == ERROR_ACCESS_DENIED && ! holders.isEmpty());

    return { false, inUse, inUse ? inUseReason (from.getFileName(), holders) : systemMessage (error) };
   #else
    if (std::rename (from.getFullPathName().toRawUTF8(), to.getFullPathName().toRawUTF8()) == 0)
        return { true, false, {} };

    return { false, false, std::strerror (errno) };
   #endif
}

juce::StringArray HeldFiles::holdersOf (const juce::File& item)
{
    juce::StringArray holders;

   #if JUCE_WINDOWS
    std::vector<std::wstring> paths;

    for (const auto& file : itemsAtAndBelow (item, maxFilesAsked))
        if (file.existsAsFile())
            paths.emplace_back (file.getFullPathName().toWideCharPointer());

    if (paths.empty())
        return holders;

    std::vector<LPCWSTR> names;

    for (const auto& path : paths)
        names.push_back (path.c_str());

    DWORD session = 0;
    WCHAR sessionKey[CCH_RM_SESSION_KEY + 1] {};

    if (RmStartSession (&session, 0, sessionKey) != ERROR_SUCCESS)
        return holders;

    if (RmRegisterResources (session, (UINT) names.size(), names.data(), 0, nullptr, 0, nullptr) == ERROR_SUCCESS)
    {
        std::vector<RM_PROCESS_INFO> processes;
        UINT needed = 0, count = 0;
        DWORD rebootReasons = 0;
        DWORD listed = ERROR_MORE_DATA;

        // The list may grow between asking for its size and reading it.
        for (int attempt = 0; attempt < 4 && listed == ERROR_MORE_DATA; ++attempt)
        {
            processes.resize (needed);
            count = (UINT) processes.size();
            listed = RmGetList (session, &needed, &count, processes.empty() ? nullptr : processes.data(), &rebootReasons);
        }

        if (listed == ERROR_SUCCESS)
            for (UINT i = 0; i < count && i < (UINT) processes.size(); ++i)
                holders.addIfNotAlreadyThere (juce::String (processes[i].strAppName) + " ("
                                              + juce::String ((juce::int64) processes[i].Process.dwProcessId) + ")");
    }

    RmEndSession (session);
   #else
    juce::ignoreUnused (item);
   #endif

    return holders;
}

bool HeldFiles::removeAtRestart (const juce::File& item)
{
   #if JUCE_WINDOWS
    auto items = itemsAtAndBelow (item, std::numeric_limits<int>::max());

    // Deepest first, so that every folder is empty by the time its turn comes.
    std::stable_sort (items.begin(), items.end(), [] (const juce::File& a, const juce::File& b)
                      { return a.getFullPathName().length() > b.getFullPathName().length(); });

    bool queuedAll = true;

    for (const auto& file : items)
        queuedAll = MoveFileExW (file.getFullPathName().toWideCharPointer(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0 && queuedAll;

    return queuedAll;
   #else
    juce::ignoreUnused (item);
    return false;
   #endif
}

juce::String HeldFiles::inUseReason (const juce::String& itemName, const juce::StringArray& holders)
{
    if (holders.isEmpty())
        return itemName + " is in use by another program; close it and run the installer again";

    return itemName + " is in use by " + holders.joinIntoString (", ") + "; close "
         + (holders.size() == 1 ? "it" : "them") + " and run the installer again";
}
