#include "datafile/TextEncoding.h"

#include <cstddef>

namespace tavrik {

namespace {

// How much of an offending field a message quotes.
constexpr std::size_t foundQuoteBytes = 40;

} // namespace

bool isValidUtf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t extra = 0;
        char32_t cp = 0;
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
            return false;
        }
        if (s.size() - i <= extra) {
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0u) != 0x80u) {
                return false;
            }
            cp = (cp << 6) | (d & 0x3Fu);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
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
    // Bytes that are no text (control characters; in a file that is not UTF-8 also the
    // range 0x80 to 0x9F, which Latin-1 leaves to controls) are shown as \xHH, so a binary
    // file is named by its bytes instead of by stray characters.
    const bool utf8 = isValidUtf8(raw);
    std::string text;
    for (const char ch : raw) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || (!utf8 && c >= 0x80 && c <= 0x9F)) {
            static constexpr char hex[] = "0123456789ABCDEF";
            text += "\\x";
            text += hex[c >> 4];
            text += hex[c & 0x0Fu];
        } else if (!utf8 && c >= 0x80) {
            text += latin1ToUtf8(std::string_view(&ch, 1));
        } else {
            text += ch;
        }
    }
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

} // namespace tavrik
