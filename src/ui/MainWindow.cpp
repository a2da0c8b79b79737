#include "ui/MainWindow.h"

#include <QPlainTextEdit>

namespace tavrik {

MainWindow::MainWindow(ProgramState& state, QWidget* parent)
    : QMainWindow(parent)
    , m_state(state)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("TAVRIK 5.0"));
    txtBox = new QPlainTextEdit(this);
    txtBox->setObjectName(QStringLiteral("txtBox"));
    txtBox->setLineWrapMode(QPlainTextEdit::NoWrap);
    setCentralWidget(txtBox);
    resize(900, 650);
}

} // namespace tavrik
