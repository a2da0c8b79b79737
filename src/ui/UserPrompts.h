// Every message box, file dialog and font dialog of the program goes through this interface,
// so that the GUI tests can script the answers.
#pragma once

#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tavrik {

class UserPrompts
{
public:
    enum class Icon { None, Information, Warning, Critical };

    virtual ~UserPrompts() = default;

    // A message box with an OK button.
    virtual void message(Icon icon, const QString& title, const QString& text) = 0;

    // Qt name filters, e.g. {"TAVRIK Files (*.TVK *.tvk)", "All Files (*)"}; nullopt on Cancel.
    virtual std::optional<QString> openFileName(const QStringList& filters) = 0;
    // Asks before overwriting an existing file; nullopt on Cancel.
    virtual std::optional<QString> saveFileName(const QStringList& filters) = 0;
    // The same with the dialog opened on a proposed file name (folder and name).
    virtual std::optional<QString> saveFileNameProposing(const QStringList& filters,
                                                         [[maybe_unused]] const QString& proposed)
    {
        return saveFileName(filters);
    }

    virtual std::optional<QFont> font(const QFont& initial) = 0;
};

} // namespace tavrik
