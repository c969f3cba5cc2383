#pragma once

#include <juce_core/juce_core.h>

//==============================================================================
/** What kind of item a path names, beyond the framework's file-or-folder. */
class FileTypes
{
public:
    FileTypes() = delete;

    /** True for an ordinary file, or a link to one. A named pipe, socket or device is not:
        opening one to read can block for ever, so such a path is never opened. */
    static bool isRegularFile (const juce::File&);
};
