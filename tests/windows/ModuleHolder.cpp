// A stand-in for an audio host that has a plug-in open, for the tests under Wine:
//
//   ov_module_holder load PATH    maps the module as a host loads it (LoadLibraryExW)
//   ov_module_holder open PATH    opens the file for reading without sharing its deletion
//
// It prints "holding <pid>" once it holds the file, and lets go when its standard input closes.
#include <windows.h>
#include <cstdio>
#include <cwchar>

int wmain (int argc, wchar_t** argv)
{
    if (argc != 3)
    {
        std::fputs ("usage: ov_module_holder load|open PATH\n", stderr);
        return 2;
    }

    const bool load = std::wcscmp (argv[1], L"load") == 0;
    HMODULE module = nullptr;
    HANDLE file = INVALID_HANDLE_VALUE;

    if (load)
        module = LoadLibraryExW (argv[2], nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    else
        file = CreateFileW (argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);

    if (module == nullptr && file == INVALID_HANDLE_VALUE)
    {
        std::fprintf (stderr, "cannot hold the file: error %lu\n", GetLastError());
        return 1;
    }

    std::printf ("holding %lu\n", GetCurrentProcessId());
    std::fflush (stdout);

    char buffer[64];
    DWORD read = 0;
    while (ReadFile (GetStdHandle (STD_INPUT_HANDLE), buffer, sizeof (buffer), &read, nullptr) && read > 0)
    {
    }

    if (module != nullptr)
        FreeLibrary (module);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle (file);
    return 0;
}
