#pragma once

#include <juce_core/juce_core.h>

//==============================================================================
/** The log a command appends to when asked: one timestamped line at a time, each written
    through at once, so that a run that is stopped still leaves what it did on record and
    several runs may share one file.
*/
class RunLog
{
public:
    /** Opens the file for appending, creating it when it does not exist. */
    explicit RunLog (const juce::File& file);

    /** Why the file could not be opened, or ok. */
    juce::Result getStatus() const    { return status; }

    /** Appends the text as one line, led by the local time with its offset from UTC. */
    void write (const juce::String& text);

private:
    std::unique_ptr<juce::FileOutputStream> stream;
    juce::Result status { juce::Result::ok() };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RunLog)
};
