// UserPrompts shown with the platform's message boxes, file dialogs and font dialog.
#pragma once

#include "ui/UserPrompts.h"

#include <QPointer>
#include <QWidget>

namespace tavrik {

class QtUserPrompts final : public UserPrompts
{
public:
    // The window the boxes and dialogs are centred on; may be set after construction.
    void setParentWidget(QWidget* parent) { m_parent = parent; }

    void message(Icon icon, const QString& title, const QString& text) override;
    std::optional<QString> openFileName(const QStringList& filters) override;
    std::optional<QString> saveFileName(const QStringList& filters) override;
    std::optional<QString> saveFileNameProposing(const QStringList& filters,
                                                 const QString& proposed) override;
    std::optional<QFont> font(const QFont& initial) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace tavrik
