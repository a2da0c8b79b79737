// The program's only top-level window: the report text box and the menu bar.
#pragma once

#include "state/ProgramState.h"

#include <QMainWindow>

class QPlainTextEdit;

namespace tavrik {

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(ProgramState& state, QWidget* parent = nullptr);

    QPlainTextEdit* txtBox = nullptr;

private:
    ProgramState& m_state;
};

} // namespace tavrik
