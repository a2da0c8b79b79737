#include "ui/QtUserPrompts.h"

#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>

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

} // namespace

void QtUserPrompts::message(Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

std::optional<QString> QtUserPrompts::openFileName(const QStringList& filters)
{
    // no caption: the platform's own title for an open dialog
    QString selected = filters.value(0);
    const QString name = QFileDialog::getOpenFileName(
        m_parent, QString(), QString(), filters.join(QStringLiteral(";;")), &selected);
    if (name.isEmpty()) {
        return std::nullopt;
    }
    return name;
}

std::optional<QString> QtUserPrompts::saveFileName(const QStringList& filters)
{
    return saveFileNameProposing(filters, QString());
}

std::optional<QString> QtUserPrompts::saveFileNameProposing(const QStringList& filters,
                                                            const QString& proposed)
{
    QString selected = filters.value(0);
    const QString name = QFileDialog::getSaveFileName(
        m_parent, QString(), proposed, filters.join(QStringLiteral(";;")), &selected);
    if (name.isEmpty()) {
        return std::nullopt;
    }
    return name;
}

std::optional<QFont> QtUserPrompts::font(const QFont& initial)
{
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, m_parent);
    if (!ok) {
        return std::nullopt;
    }
    return chosen;
}

} // namespace tavrik
