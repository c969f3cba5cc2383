#pragma once

#include <juce_graphics/juce_graphics.h>

/** Appends one line of Markdown to the target as styled runs, all in the one colour: its
    "**bold**" spans in the bold font, its "*italic*" spans in the italic font and the rest
    in the regular font. */
void appendMarkdownSpans (juce::AttributedString& target, const juce::String& text,
                          const juce::Font& regular, const juce::Font& bold, const juce::Font& italic,
                          juce::Colour colour);
