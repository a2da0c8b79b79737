// Every message box, question, file dialog and font dialog of the program goes through this
// interface, so that the GUI tests can script the answers.
#pragma once

#include <QFont>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <optional>

namespace tavrik {

// What a file dialog is asked for. owner is the control that has the focus again when the
// dialog closes; the dialog is centred on its window (the main window when there is none).
struct FileRequest
{
    QStringList filters;   // Qt name filters; the first is selected
    QString proposed;      // the name (and folder) the dialog opens on; may be empty
    QString defaultSuffix; // added to a name without one, before the overwrite question
    QString folderKey;     // the dialog remembers its last folder under this name
    QPointer<QWidget> owner;
};

class UserPrompts
{
public:
    enum class Icon { None, Information, Warning, Critical };
    enum class Answer { Ok, Yes, No, Save, Discard, Cancel };

    virtual ~UserPrompts() = default;

    // A message box with an OK button, centred on owner's window; the focus then returns to
    // owner. Without an owner the box belongs to the main window.
    virtual void message(QWidget* owner, Icon icon, const QString& title, const QString& text) = 0;
    void message(Icon icon, const QString& title, const QString& text)
    {
        message(nullptr, icon, title, text);
    }

    // A question with these buttons (the first is the default); Cancel when it is dismissed.
    virtual Answer ask(QWidget* owner,
                       Icon icon,
                       const QString& title,
                       const QString& text,
                       const QList<Answer>& choices) = 0;

    // nullopt on Cancel. The save dialog asks before overwriting an existing file.
    virtual std::optional<QString> openFile(const FileRequest& request) = 0;
    virtual std::optional<QString> saveFile(const FileRequest& request) = 0;

    // Fixed-pitch fonts only: the report's columns and plot need one.
    virtual std::optional<QFont> font(const QFont& initial) = 0;
};

} // namespace tavrik
