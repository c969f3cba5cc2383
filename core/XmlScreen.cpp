#include "core/XmlScreen.h"

#include <string_view>

namespace
{
    bool isSpace (char c)       { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    bool isDigit (char c)       { return c >= '0' && c <= '9'; }
    bool isAsciiLetter (char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

    // Any byte of a multi-byte UTF-8 sequence counts as a letter: the text has been decoded
    // already, and none of XML's markup characters lies outside ASCII.
    bool isNameStart (char c)   { return isAsciiLetter (c) || c == '_' || c == ':' || (unsigned char) c >= 0x80; }
    bool isNameChar (char c)    { return isNameStart (c) || isDigit (c) || c == '-' || c == '.'; }

    int digitValue (char c, juce::uint32 base)
    {
        return base == 16 ? juce::CharacterFunctions::getHexDigitValue ((juce::juce_wchar) c)
                          : (isDigit (c) ? c - '0' : -1);
    }

    bool isXmlChar (juce::uint32 c)
    {
        return c == 0x9 || c == 0xa || c == 0xd
            || (c >= 0x20 && c <= 0xd7ff) || (c >= 0xe000 && c <= 0xfffd) || (c >= 0x10000 && c <= 0x10ffff);
    }

    /** A recursive-descent reading of the grammar, over the text's UTF-8 bytes. */
    class Scanner
    {
    public:
        explicit Scanner (std::string_view textToScan) : text (textToScan) {}

        // The XML declaration is read as a processing instruction named "xml".
        bool document()
        {
            return miscellany() && element (1) && miscellany() && pos == text.size();
        }

    private:
        char peek (size_t ahead = 0) const  { return pos + ahead < text.size() ? text[pos + ahead] : '\0'; }
        bool startsWith (std::string_view s) const { return text.substr (pos, s.size()) == s; }

        bool skip (std::string_view s)
        {
            if (! startsWith (s))
                return false;

            pos += s.size();
            return true;
        }

        bool skipPast (std::string_view end)
        {
            const auto found = text.find (end, pos);

            if (found == std::string_view::npos)
                return false;

            pos = found + end.size();
            return true;
        }

        bool skipSpace()
        {
            const auto start = pos;

            while (isSpace (peek()))
                ++pos;

            return pos > start;
        }

        bool name()
        {
            if (! isNameStart (peek()))
                return false;

            while (isNameChar (peek()))
                ++pos;

            return true;
        }

        // A comment ends at its first "--", which must be followed by '>'.
        bool comment()
        {
            pos += 4;
            const auto found = text.find ("--", pos);

            if (found == std::string_view::npos)
                return false;

            pos = found + 2;
            return skip (">");
        }

        bool processingInstruction()
        {
            pos += 2;
            return name() && skipPast ("?>");
        }

        /** Comments, processing instructions and white space around the element. */
        bool miscellany()
        {
            for (;;)
            {
                skipSpace();

                if (startsWith ("<!--"))
                {
                    if (! comment())
                        return false;
                }
                else if (startsWith ("<?"))
                {
                    if (! processingInstruction())
                        return false;
                }
                else
                {
                    return true;
                }
            }
        }

        bool reference()
        {
            ++pos;
            const juce::uint32 base = skip ("#x") ? 16 : skip ("#") ? 10 : 0;

            if (base == 0)
                return (skip ("amp") || skip ("lt") || skip ("gt") || skip ("quot") || skip ("apos")) && skip (";");

            juce::uint32 value = 0;
            size_t digits = 0;

            for (int digit; (digit = digitValue (peek(), base)) >= 0 && value <= 0x10ffff; ++pos, ++digits)
                value = value * base + (juce::uint32) digit;

            return digits > 0 && isXmlChar (value) && skip (";");
        }

        bool attribute()
        {
            if (! name())
                return false;

            skipSpace();

            if (! skip ("="))
                return false;

            skipSpace();
            const auto quote = peek();

            if (quote != '"' && quote != '\'')
                return false;

            for (++pos; peek() != quote; )
            {
                if (pos >= text.size() || peek() == '<')
                    return false;

                if (peek() != '&')
                    ++pos;
                else if (! reference())
                    return false;
            }

            ++pos;
            return true;
        }

        bool element (int depth)
        {
            if (depth > XmlScreen::maximumDepth || ! skip ("<"))
                return false;

            const auto nameStart = pos;

            if (! name())
                return false;

            const auto tag = text.substr (nameStart, pos - nameStart);

            for (;;)
            {
                const auto spaced = skipSpace();

                if (skip ("/>"))
                    return true;

                if (skip (">"))
                    break;

                if (! spaced || ! attribute())
                    return false;
            }

            return content (depth) && skip (tag) && (skipSpace(), skip (">"));
        }

        /** Up to and including the "</" of the element's end tag. */
        bool content (int depth)
        {
            while (pos < text.size())
            {
                if (skip ("</"))
                    return true;

                const auto fine = startsWith ("<!--")      ? comment()
                                : skip ("<![CDATA[")       ? skipPast ("]]>")
                                : peek() == '<'            ? element (depth + 1)
                                : peek() == '&'            ? reference()
                                                           : (++pos, true);
                if (! fine)
                    return false;
            }

            return false;
        }

        const std::string_view text;
        size_t pos = 0;
    };
}

bool XmlScreen::isPlainDocument (const juce::String& text)
{
    return Scanner ({ text.toRawUTF8(), text.getNumBytesAsUTF8() }).document();
}
