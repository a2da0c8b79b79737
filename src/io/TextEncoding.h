// Text as the data file reader and the CSV import decode it: the UTF-8 check with Latin-1 as
// the fallback for files written in a Windows code page, the UTF-8 byte-order mark, paths as
// UTF-8 text, and the way a message quotes what it found.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tavrik {

// Skipped at the start of a file.
inline constexpr std::string_view utf8ByteOrderMark = "\xEF\xBB\xBF";

// Well-formed UTF-8 only: no overlong forms, surrogates or code points above U+10FFFF.
bool isValidUtf8(std::string_view s);
// Every byte taken as the code point of the same value.
std::string latin1ToUtf8(std::string_view s);

// The path as UTF-8 text, for messages and Error::path.
std::string pathText(const std::filesystem::path& path);
// The path that UTF-8 text names (a file name typed by the user, a path kept as text). A path
// made straight from a std::string would read it in the system's code page on Windows.
std::filesystem::path pathFromText(std::string_view text);

// Text as a message may show it on a terminal: whatever could move the cursor, change the
// terminal's state or reorder the text around it is written as an escape. C0 controls, DEL
// and C1 controls (U+0080 to U+009F) as \xHH of their code, the bidirectional embeddings,
// overrides and isolates (U+202A to U+202E, U+2066 to U+2069) as \uHHHH, and bytes that are
// no UTF-8 as \xHH. With keepLineEnds a line feed stays as it is; all else is kept.
std::string escapedText(std::string_view text, bool keepLineEnds = false);

// Found text as a message shows it: in double quotes, cut after 40 bytes (never inside a
// UTF-8 sequence) with "..." before the closing quote, read as Latin-1 unless it is UTF-8,
// and escaped as escapedText does. Names from a file are quoted the same way wherever a
// message prints them, so that no name can move the cursor or retitle a window.
std::string quoteFound(std::string_view raw);

// The same text without the quotes, for a name that a message prints bare.
std::string shownText(std::string_view raw);

// Names a message lists before it says how many more there are.
inline constexpr std::size_t namesListed = 5;

// "A", "B", "C", "D", "E" and 12 more: the first namesListed names, each quoted as quoteFound
// does, and the count of the rest.
std::string quotedNameList(const std::vector<std::string>& names);

} // namespace tavrik
