#include "ui/QtText.h"

#include "report/NumberFormat.h"

#include <QFile>

#include <cmath>

namespace tavrik {

QString tableNumber(double value)
{
    return std::isfinite(value) ? toQt(formatNumber(value, "0.000000;-0.000000"))
                                : QStringLiteral("NA");
}

QString toQt(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

namespace {

// Length of the well-formed UTF-8 sequence at the start of bytes; 0 when there is none.
std::size_t utf8SequenceLength(std::string_view bytes)
{
    const auto lead = static_cast<unsigned char>(bytes[0]);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) {
            return 0;
        }
    }
    return length;
}

} // namespace

QString messageText(std::string_view utf8)
{
    std::string shown;
    shown.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = utf8SequenceLength(utf8.substr(i));
        const bool control =
            length == 1 && (c < 0x20 || c == 0x7F) && c != '\t' && c != '\n' && c != '\r';
        if (length == 0 || control) {
            static const char hex[] = "0123456789ABCDEF";
            shown += "\\x";
            shown += hex[c >> 4];
            shown += hex[c & 0x0F];
            ++i;
            continue;
        }
        shown.append(utf8.substr(i, length));
        i += length;
    }
    return toQt(shown);
}

std::string toStd(const QString& text)
{
    return text.toStdString();
}

std::filesystem::path toPath(const QString& fileName)
{
    // file names in the system's own 8-bit encoding, as the C library expects them
    return std::filesystem::path(QFile::encodeName(fileName).toStdString());
}

QString textFromReport(std::string_view report)
{
    QString text = toQt(report);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

} // namespace tavrik
