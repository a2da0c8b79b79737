#include "export/SavedOutput.h"

namespace tavrik {

bool appendListing(SaveKind kind, bool askSaveName, bool outputFitsScreen, bool showMatrices)
{
    if (kind == SaveKind::SaveOutput && askSaveName) {
        return !(outputFitsScreen && showMatrices);
    }
    return !showMatrices;
}

std::string toCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out += '\r';
        }
        out += text[i];
    }
    return out;
}

std::string
savedOutputText(std::string_view displayedText, std::string_view matrixFile, bool withListing)
{
    std::string out;
    out.reserve(displayedText.size() + 2 + (withListing ? matrixFile.size() + 2 : 0));
    out.append(displayedText);
    out += "\r\n";
    if (!withListing) {
        return out;
    }
    // Line by line: a line ends at LF, with the CR before it dropped, and is written again with
    // CR LF, so a listing whose last line has no line end still gets one.
    while (!matrixFile.empty()) {
        const std::size_t lf = matrixFile.find('\n');
        std::string_view line = matrixFile.substr(0, lf);
        if (lf != std::string_view::npos && line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        out.append(line);
        out += "\r\n";
        matrixFile.remove_prefix(lf == std::string_view::npos ? matrixFile.size() : lf + 1);
    }
    return out;
}

} // namespace tavrik
