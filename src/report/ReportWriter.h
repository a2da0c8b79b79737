// Builds report text by the program's line-writing rules: items are concatenated, a tab stop
// moves to a 1-based character column (continuing on a new line when the column is already
// passed), a bare whole number carries a leading blank or minus and a trailing blank, and every
// line ends with CR LF. Columns count characters (UTF-8 code points), not bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavrik {

class ReportWriter
{
public:
    ReportWriter& text(std::string_view item);
    ReportWriter& number(long value); // bare whole number: " 3 ", "-3 "
    ReportWriter& tab(int column);    // 1-based
    ReportWriter& endLine();          // CR LF
    ReportWriter& emptyLines(int count);

    const std::string& str() const { return m_text; }
    std::string take() { return std::move(m_text); }

private:
    std::string m_text;
    int m_column = 1; // column where the next character goes
};

} // namespace tavrik
