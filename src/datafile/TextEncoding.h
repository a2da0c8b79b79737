// Text as the data file reader and the CSV import decode it: the UTF-8 check with Latin-1 as
// the fallback for files written in a Windows code page, the UTF-8 byte-order mark, paths as
// UTF-8 text, and the way a message quotes what it found.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tavrik {

// Skipped at the start of a file.
inline constexpr std::string_view utf8ByteOrderMark = "\xEF\xBB\xBF";

// Well-formed UTF-8 only: no overlong forms, surrogates or code points above U+10FFFF.
bool isValidUtf8(std::string_view s);
// Every byte taken as the code point of the same value.
std::string latin1ToUtf8(std::string_view s);

// The path as UTF-8 text, for messages and Error::path.
std::string pathText(const std::filesystem::path& path);

// Found text as a message shows it: in double quotes, cut after 40 bytes (never inside a
// UTF-8 sequence) with "..." before the closing quote, read as Latin-1 unless it is UTF-8,
// and bytes that are no text as \xHH escapes. Names from a file are quoted the same way
// wherever a message prints them, so that no name can move the cursor or retitle a window.
std::string quoteFound(std::string_view raw);

// The same text without the quotes, for a name that a message prints bare.
std::string shownText(std::string_view raw);

} // namespace tavrik
