#include "ui/MarkdownSpans.h"
#include "core/MarkdownParser.h"

void appendMarkdownSpans (juce::AttributedString& target, const juce::String& text,
                          const juce::Font& regular, const juce::Font& bold, const juce::Font& italic,
                          juce::Colour colour)
{
    for (const auto& span : MarkdownParser::splitSpans (text))
    {
        const auto& font = span.style == MarkdownParser::SpanStyle::bold   ? bold
                         : span.style == MarkdownParser::SpanStyle::italic ? italic
                                                                           : regular;
        target.append (span.text, font, colour);
    }
}
