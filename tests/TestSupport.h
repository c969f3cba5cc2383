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
