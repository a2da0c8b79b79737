// UserPrompts shown with the platform's message boxes, file dialogs and font dialog.
#pragma once

#include "ui/UserPrompts.h"

#include <QPointer>
#include <QWidget>

namespace tavrik {

class QtUserPrompts final : public UserPrompts
{
public:
    using UserPrompts::message;

    // The window the boxes and dialogs belong to when their caller names no owner; may be
    // set after construction.
    void setParentWidget(QWidget* parent) { m_parent = parent; }

    void message(QWidget* owner, Icon icon, const QString& title, const QString& text) override;
    Answer ask(QWidget* owner,
               Icon icon,
               const QString& title,
               const QString& text,
               const QList<Answer>& choices) override;
    std::optional<QString> openFile(const FileRequest& request) override;
    std::optional<QString> saveFile(const FileRequest& request) override;
    std::optional<QFont> font(const QFont& initial) override;

private:
    QWidget* parentFor(QWidget* owner) const;
    std::optional<QString> runFileDialog(const FileRequest& request, bool save);

    QPointer<QWidget> m_parent;
};

} // namespace tavrik
