#include "core/FileTypes.h"

#if ! JUCE_WINDOWS
 #include <sys/stat.h>
#endif

bool FileTypes::isRegularFile (const juce::File& file)
{
    if (file.getFullPathName().isEmpty())
        return false;

   #if JUCE_WINDOWS
    // Pipes and devices live outside the file system's folders on Windows.
    return file.existsAsFile();
   #else
    struct stat info {};
    return ::stat (file.getFullPathName().toRawUTF8(), &info) == 0 && S_ISREG (info.st_mode);
   #endif
}
