#include "report/ReportWriter.h"

#include <cassert>
#include <string>

namespace tavrik {

namespace {

bool isUtf8ContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0U) == 0x80U;
}

} // namespace

ReportWriter& ReportWriter::text(std::string_view item)
{
    m_text.append(item);
    for (const char c : item) {
        if (c == '\n') {
            m_column = 1;
        } else if (c != '\r' && !isUtf8ContinuationByte(c)) {
            ++m_column;
        }
    }
    return *this;
}

ReportWriter& ReportWriter::number(long value)
{
    if (value < 0) {
        return text(std::to_string(value) + ' ');
    }
    return text(' ' + std::to_string(value) + ' ');
}

ReportWriter& ReportWriter::tab(int column)
{
    assert(column >= 1);
    if (m_column > column) {
        endLine();
    }
    if (m_column < column) {
        const auto blanks = static_cast<std::size_t>(column - m_column);
        m_text.append(blanks, ' ');
        m_column = column;
    }
    return *this;
}

ReportWriter& ReportWriter::endLine()
{
    m_text += "\r\n";
    m_column = 1;
    return *this;
}

ReportWriter& ReportWriter::emptyLines(int count)
{
    for (int i = 0; i < count; ++i) {
        endLine();
    }
    return *this;
}

} // namespace tavrik
