#pragma once

#include <juce_core/juce_core.h>

//==============================================================================
/** Decides whether a text is plain, well-formed XML before the framework's parser sees it.

    The framework's parser is lenient, and on some malformed or unusual inputs it loops for
    ever, reads past the end of the text or recurses until the stack runs out. A file that any
    user of the machine may have written is read by an installer with administrator rights, so
    only what XML 1.0 calls well-formed, without a document type declaration, without processing
    instructions inside the element and nested no deeper than maximumDepth, is handed on.
*/
class XmlScreen
{
public:
    XmlScreen() = delete;

    /** Elements nested deeper than this are refused: a few levels serve any real file, and the
        framework's parser takes a stack frame for each. */
    static constexpr int maximumDepth = 32;

    static bool isPlainDocument (const juce::String& text);
};
