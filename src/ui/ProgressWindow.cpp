#include "ui/ProgressWindow.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tavrik {

ProgressWindow::ProgressWindow(QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                  Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("running"));
    setWindowTitle(tr("TAVRIK 5.0"));
    m_line = new QLabel(this);
    m_line->setObjectName(QStringLiteral("lblStatus"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->addWidget(m_line);
    setFixedSize(380, 56);
}

void ProgressWindow::showStatus(const QString& line)
{
    m_line->clear();
    m_line->setText(line);
}

QString ProgressWindow::status() const
{
    return m_line->text();
}

} // namespace tavrik
