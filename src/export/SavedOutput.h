// The text that Save Output and Save Output As write: the displayed report, one line end, and,
// when it is not already on screen, the matrix listing of the last run.
#pragma once

#include <string>
#include <string_view>

namespace tavrik {

enum class SaveKind {
    SaveOutput,   // Ctrl+S: asks for a name only when askSaveName is set
    SaveOutputAs, // always asks for a name
};

// Whether the matrix listing goes after the displayed text, from the state record's flags. Save
// Output right after a run leaves the listing out only when the run put it on screen; once saved,
// and for Save Output As, the listing is appended when matrices are not shown on screen.
bool appendListing(SaveKind kind, bool askSaveName, bool outputFitsScreen, bool showMatrices);

// Turns every LF not already preceded by CR into CR LF. The text box hands out LF-only lines;
// the saved file has CR LF lines.
std::string toCrLf(std::string_view text);

// displayedText: the text box's content with CR LF line ends (see toCrLf), written byte for
// byte and followed by CR LF, so a text that ends in a line end gets one empty line after it.
// matrixFile: the last run's listing; with withListing each of its lines follows, ended by
// CR LF, including a last line that had no line end.
std::string
savedOutputText(std::string_view displayedText, std::string_view matrixFile, bool withListing);

} // namespace tavrik
