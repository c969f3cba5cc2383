#pragma once

#include <juce_core/juce_core.h>
#include <gtest/gtest.h>

//==============================================================================
/** A fresh, empty Wine prefix for one test, made the process's WINEPREFIX for as long as the
    object lives; the previous value is restored and the folder removed afterwards. */
class ScopedWinePrefix
{
public:
    ScopedWinePrefix();
    ~ScopedWinePrefix();

    juce::File prefix() const     { return folder.getFile(); }
    juce::File driveC() const     { return prefix().getChildFile ("drive_c"); }
    juce::File programData() const { return driveC().getChildFile ("ProgramData"); }
    juce::File makerFolder() const { return programData().getChildFile ("Orvanta"); }
    juce::File commonFiles() const { return driveC().getChildFile ("Program Files/Common Files"); }

private:
    juce::TemporaryFile folder;
    juce::String previous;
    bool hadPrevious = false;

    JUCE_DECLARE_NON_COPYABLE (ScopedWinePrefix)
};

/** Settings that put AAX's folder where a file stands, so that AAX fails while the other
    formats install; the file is returned. */
juce::File blockAaxFolder (const ScopedWinePrefix&);

/** Sets or, given nothing, removes an environment variable of this process. */
void setEnvironment (const char* name, const char* value);

/** Skips a test that checks how the Windows folders map into a Wine prefix: on Windows they
    are the system's own, and the test would write into them. */
#define OV_SKIP_ON_WINDOWS_WINE_PREFIX() \
    OV_SKIP_ON_WINDOWS ("drive C: is a Wine prefix folder only off Windows")

/** Skips a test that only makes sense on POSIX systems, naming the reason. */
#define OV_SKIP_ON_WINDOWS(reason) \
    if (! runsOnWindows()) {} else GTEST_SKIP() << "POSIX only: " reason

/** True in the Windows build, asked at run time so that the code after a skip still counts. */
bool runsOnWindows();

/** Reads a file's bytes exactly, without any newline translation. */
juce::MemoryBlock readBytes (const juce::File& file);

/** A file's bytes as text, for comparisons. */
std::string readText (const juce::File& file);

namespace juce
{
    /** Lets test messages show framework strings. */
    inline std::ostream& operator<< (std::ostream& stream, const String& text)
    {
        return stream << text.toStdString();
    }
}
