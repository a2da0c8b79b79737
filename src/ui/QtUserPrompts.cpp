#include "ui/QtUserPrompts.h"

#include "ui/ProgramSettings.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>
#include <QPushButton>

namespace tavrik {

namespace {

QMessageBox::Icon boxIcon(UserPrompts::Icon icon)
{
    switch (icon) {
    case UserPrompts::Icon::Information:
        return QMessageBox::Information;
    case UserPrompts::Icon::Warning:
        return QMessageBox::Warning;
    case UserPrompts::Icon::Critical:
        return QMessageBox::Critical;
    case UserPrompts::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton boxButton(UserPrompts::Answer answer)
{
    switch (answer) {
    case UserPrompts::Answer::Ok:
        return QMessageBox::Ok;
    case UserPrompts::Answer::Yes:
        return QMessageBox::Yes;
    case UserPrompts::Answer::No:
        return QMessageBox::No;
    case UserPrompts::Answer::Save:
        return QMessageBox::Save;
    case UserPrompts::Answer::Discard:
        return QMessageBox::Discard;
    case UserPrompts::Answer::Cancel:
        break;
    }
    return QMessageBox::Cancel;
}

// The platform's captions of these buttons may lack an access key.
QString buttonCaption(UserPrompts::Answer answer)
{
    switch (answer) {
    case UserPrompts::Answer::Save:
        return QMessageBox::tr("&Save");
    case UserPrompts::Answer::Discard:
        return QMessageBox::tr("&Discard");
    case UserPrompts::Answer::Cancel:
        return QMessageBox::tr("&Cancel");
    default:
        return {};
    }
}

// The focus goes back where the user was: a box closing hands it to its parent's window,
// which is not always the control the user worked in.
void giveFocusBack(QWidget* owner)
{
    if (owner == nullptr) {
        return;
    }
    owner->window()->activateWindow();
    owner->setFocus(Qt::OtherFocusReason);
}

QString folderSettingKey(const QString& folderKey)
{
    return QStringLiteral("folders/") + folderKey;
}

} // namespace

QWidget* QtUserPrompts::parentFor(QWidget* owner) const
{
    return owner != nullptr ? owner->window() : m_parent.data();
}

void QtUserPrompts::message(QWidget* owner, Icon icon, const QString& title, const QString& text)
{
    const QPointer<QWidget> back(owner);
    {
        QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, parentFor(owner));
        box.exec();
    }
    giveFocusBack(back);
}

UserPrompts::Answer QtUserPrompts::ask(QWidget* owner,
                                       Icon icon,
                                       const QString& title,
                                       const QString& text,
                                       const QList<Answer>& choices)
{
    const QPointer<QWidget> back(owner);
    Answer answer = Answer::Cancel;
    {
        QMessageBox box(boxIcon(icon), title, text, QMessageBox::NoButton, parentFor(owner));
        for (const Answer choice : choices) {
            QPushButton* button = box.addButton(boxButton(choice));
            if (const QString caption = buttonCaption(choice); !caption.isEmpty()) {
                button->setText(caption);
            }
        }
        if (!choices.isEmpty()) {
            box.setDefaultButton(boxButton(choices.front()));
        }
        const auto clicked = static_cast<QMessageBox::StandardButton>(box.exec());
        for (const Answer choice : choices) {
            if (boxButton(choice) == clicked) {
                answer = choice;
            }
        }
    }
    giveFocusBack(back);
    return answer;
}

std::optional<QString> QtUserPrompts::runFileDialog(const FileRequest& request, bool save)
{
    const QPointer<QWidget> back(request.owner);
    const auto settings = programSettings();
    QString folder;
    if (!request.folderKey.isEmpty()) {
        folder = settings->value(folderSettingKey(request.folderKey)).toString();
    }
    std::optional<QString> chosen;
    {
        // no caption: the platform's own title for an open or save dialog
        QFileDialog dialog(parentFor(request.owner), QString(), folder);
        dialog.setObjectName(QStringLiteral("CMDialog1"));
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog.setNameFilters(request.filters);
        if (!request.filters.isEmpty()) {
            dialog.selectNameFilter(request.filters.front());
        }
        dialog.setDefaultSuffix(request.defaultSuffix);
        if (!request.proposed.isEmpty()) {
            dialog.selectFile(request.proposed);
        }
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            chosen = dialog.selectedFiles().constFirst();
        }
    }
    if (chosen && !request.folderKey.isEmpty()) {
        settings->setValue(folderSettingKey(request.folderKey), QFileInfo(*chosen).absolutePath());
    }
    giveFocusBack(back);
    return chosen;
}

std::optional<QString> QtUserPrompts::openFile(const FileRequest& request)
{
    return runFileDialog(request, false);
}

std::optional<QString> QtUserPrompts::saveFile(const FileRequest& request)
{
    return runFileDialog(request, true);
}

std::optional<QFont> QtUserPrompts::font(const QFont& initial)
{
    bool ok = false;
    const QFont chosen =
        QFontDialog::getFont(&ok, initial, m_parent, QString(), QFontDialog::MonospacedFonts);
    if (!ok) {
        return std::nullopt;
    }
    return chosen;
}

} // namespace tavrik
