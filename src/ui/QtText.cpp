#include "ui/QtText.h"

#include <QFile>

namespace tavrik {

QString toQt(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
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

std::string reportFromText(const QString& text)
{
    QString crlf = text;
    crlf.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return toStd(crlf);
}

} // namespace tavrik
