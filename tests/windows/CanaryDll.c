/* A stand-in for a system DLL, planted where the installer must never look for one: beside
   the executable or in the current folder. It has the real DLL's exports, so a loader that
   picked it up would bind to it; the moment it is loaded it leaves a file named after itself
   with ".loaded" appended, which the tests look for. */

#ifndef WIN32_LEAN_AND_MEAN
 #define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

int ovCanaryData = 0;

int ovCanaryFunction (void);
int ovCanaryFunction (void)
{
    return 0;
}

BOOL WINAPI DllMain (HINSTANCE instance, DWORD reason, LPVOID reserved);
BOOL WINAPI DllMain (HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void) reserved;

    if (reason == DLL_PROCESS_ATTACH)
    {
        WCHAR path[MAX_PATH + 8];
        const DWORD length = GetModuleFileNameW (instance, path, MAX_PATH);

        if (length > 0 && length < MAX_PATH)
        {
            lstrcpyW (path + length, L".loaded");
            const HANDLE marker = CreateFileW (path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);

            if (marker != INVALID_HANDLE_VALUE)
                CloseHandle (marker);
        }
    }

    return TRUE;
}
