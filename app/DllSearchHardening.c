/* The installer asks for administrator rights and is usually started from a Downloads folder,
   where anyone who can drop a file (a web page's automatic download, say) could leave a DLL
   named like one Windows would otherwise look for there first. So no DLL ever comes from the
   executable's folder or the current folder:

   - the DLLs that are not Windows' KnownDLLs are delay-loaded (cmake/DelayLoadedImports.cmake);
   - before any of them, or any DLL the framework loads by bare name, can load, and before the
     program's static constructors run, the process searches System32 alone;
   - the image's DependentLoadFlags tell Windows 10 1607 and later the same for the imports
     that are resolved before any code of ours runs. */

#include "core/WindowsHeaders.h"
#include <stddef.h>

static void searchSystem32Only (void)
{
    SetDefaultDllDirectories (LOAD_LIBRARY_SEARCH_SYSTEM32);
}

#if defined (_MSC_VER) && ! defined (__clang__)
 /* Before the C++ initialisers, which the compiler puts in .CRT$XCU. The CRT of MSVC carries the
    load configuration itself; /DEPENDENTLOADFLAG fills in its field. */
 #pragma section (".CRT$XCB", read)
 __declspec (allocate (".CRT$XCB")) void (*const ovSearchSystem32Only) (void) = searchSystem32Only;
#else
 /* Priority 101 runs before every constructor of default priority in the whole program. */
 __attribute__ ((constructor (101))) static void searchSystem32OnlyAtStart (void)
 {
     searchSystem32Only();
 }

 /* MinGW-w64's CRT has no load configuration of its own, and lld takes the program's.
    MinGW-w64's headers still call DependentLoadFlags by its old name, Reserved1. */
 _Static_assert (offsetof (IMAGE_LOAD_CONFIG_DIRECTORY64, Reserved1) == 0x4E, "DependentLoadFlags lies at 0x4E");

 extern const IMAGE_LOAD_CONFIG_DIRECTORY64 _load_config_used;
 const IMAGE_LOAD_CONFIG_DIRECTORY64 _load_config_used = {
     .Size = sizeof (IMAGE_LOAD_CONFIG_DIRECTORY64),
     .Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32
 };
#endif
