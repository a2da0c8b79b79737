// The one place where Qt text meets the core's text: UTF-8 std::string, filesystem paths and
// report text with CR LF line ends.
#pragma once

#include <QString>

#include <filesystem>
#include <string>
#include <string_view>

namespace tavrik {

QString toQt(std::string_view utf8);
// A message of the core for a message box: bytes that are not UTF-8 text, and control
// characters other than tab and line ends, shown as \xHH escapes (a binary file's bytes).
QString messageText(std::string_view utf8);
std::string toStd(const QString& text);
std::filesystem::path toPath(const QString& fileName);

// A value in a window's table with the report's six decimals ("NA" when not finite); the saved
// files keep every digit.
QString tableNumber(double value);

// Report text (CR LF line ends) as the text box holds it (LF line ends).
QString textFromReport(std::string_view report);

} // namespace tavrik
