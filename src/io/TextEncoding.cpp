#include "io/TextEncoding.h"

#include <cstddef>

namespace tavrik {

namespace {

// How much of an offending field a message quotes.
constexpr std::size_t foundQuoteBytes = 40;

// The length of the well-formed UTF-8 sequence at s[i] and its code point in cp, or 0 when
// the bytes there are no such sequence.
std::size_t utf8SequenceAt(std::string_view s, std::size_t i, char32_t& cp)
{
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    std::size_t extra = 0;
    char32_t least = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        extra = 1;
        cp = c & 0x1Fu;
        least = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        extra = 2;
        cp = c & 0x0Fu;
        least = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        extra = 3;
        cp = c & 0x07u;
        least = 0x10000;
    } else {
        return 0;
    }
    if (s.size() - i <= extra) {
        return 0;
    }
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0u) != 0x80u) {
            return 0;
        }
        cp = (cp << 6) | (d & 0x3Fu);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return extra + 1;
}

void appendHex(std::string& text, char32_t value, int digits)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        text += hex[(value >> shift) & 0x0Fu];
    }
}

bool isBidiControl(char32_t cp)
{
    return (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

} // namespace

bool isValidUtf8(std::string_view s)
{
    char32_t cp = 0;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = utf8SequenceAt(s, i, cp);
        if (n == 0) {
            return false;
        }
        i += n;
    }
    return true;
}

std::string latin1ToUtf8(std::string_view s)
{
    std::string out;
    out.reserve(s.size() + s.size() / 4);
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0u | (c >> 6)));
            out.push_back(static_cast<char>(0x80u | (c & 0x3Fu)));
        }
    }
    return out;
}

std::string escapedText(std::string_view text, bool keepLineEnds)
{
    std::string out;
    out.reserve(text.size());
    char32_t cp = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = utf8SequenceAt(text, i, cp);
        if (n == 0) {
            out += "\\x";
            appendHex(out, static_cast<unsigned char>(text[i]), 2);
            ++i;
            continue;
        }
        if ((cp < 0x20 && !(keepLineEnds && cp == '\n')) || (cp >= 0x7F && cp <= 0x9F)) {
            out += "\\x";
            appendHex(out, cp, 2);
        } else if (isBidiControl(cp)) {
            out += "\\u";
            appendHex(out, cp, 4);
        } else {
            out.append(text, i, n);
        }
        i += n;
    }
    return out;
}

std::string shownText(std::string_view raw)
{
    bool cut = false;
    if (raw.size() > foundQuoteBytes) {
        std::size_t n = foundQuoteBytes;
        while (n > 0 && (static_cast<unsigned char>(raw[n]) & 0xC0u) == 0x80u) {
            --n; // do not split a UTF-8 sequence
        }
        raw = raw.substr(0, n);
        cut = true;
    }
    // Read as Latin-1 unless it is UTF-8, so a binary file is named by its bytes instead of by
    // stray characters: the range 0x80 to 0x9F, which Latin-1 leaves to controls, is escaped
    // with the other controls.
    const std::string text = escapedText(isValidUtf8(raw) ? std::string(raw) : latin1ToUtf8(raw));
    return cut ? text + "..." : text;
}

std::string quoteFound(std::string_view raw)
{
    return "\"" + shownText(raw) + "\"";
}

std::string pathText(const std::filesystem::path& path)
{
    const std::u8string u = path.u8string();
    return std::string(u.begin(), u.end());
}

std::filesystem::path pathFromText(std::string_view text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string quotedNameList(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < namesListed; ++i) {
        text += (i == 0 ? "" : ", ") + quoteFound(names[i]);
    }
    if (names.size() > namesListed) {
        text += " and " + std::to_string(names.size() - namesListed) + " more";
    }
    return text;
}

} // namespace tavrik
