#pragma once

#include <juce_core/juce_core.h>

//==============================================================================
/** Reads the fixed file version from the version resource of a Windows module (a PE32 or
    PE32+ file), so that the installed version of a plug-in can be told on any platform.

    Only the few structures on the way to the version block are read: the DOS and PE
    headers, the resource entry of the data directory, the section table, one path
    through the resource tree (RT_VERSION, its first name, its first language) and the
    start of the version block. Whatever the file's size, no call reads more than
    maxBytesRead bytes, and every offset and size taken from the file is checked before
    use, so a damaged or hostile file gives an empty version rather than a crash.
*/
class ModuleVersionReader
{
public:
    ModuleVersionReader() = delete;

    /** The most bytes that one call takes from the stream. */
    static constexpr juce::int64 maxBytesRead = 65536;

    struct Result
    {
        /** Four numbers joined by ".", such as "2.4.3.0"; empty when the stream holds no
            readable fixed file version. */
        juce::String version;

        /** How many bytes were taken from the stream, never more than maxBytesRead. */
        juce::int64 bytesRead = 0;
    };

    /** The file version of a module on disk; empty for a missing file, a folder or a file
        without a version resource. On Windows this is juce::File::getVersion. */
    static juce::String readFileVersion (const juce::File& module);

    /** The file version of a module held by a seekable stream that knows its length. */
    static juce::String readFileVersion (juce::InputStream& stream);

    /** Like readFileVersion, and also tells how many bytes it read. */
    static Result read (juce::InputStream& stream);
};
