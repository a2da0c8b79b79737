// The modeless Analysis dialog: the populations and variables of the next run, and its Run
// button. Every list entry carries its 0-based position in the data file (Qt::UserRole), so
// populations or variables that share a name stay apart.
#pragma once

#include "state/ProgramState.h"
#include "ui/UserPrompts.h"

#include <QDialog>

class QListWidget;
class QPushButton;

namespace tavrik {

class AnalysisDialog : public QDialog
{
    Q_OBJECT
public:
    // Fills all four lists from the open data set: everything is chosen at first.
    AnalysisDialog(ProgramState& state, UserPrompts& prompts, QWidget* parent = nullptr);

    // Checks the choice; when it is valid fills the selection and returns no message,
    // otherwise returns the messages to show, in order, and leaves the state alone.
    QStringList applyTo(ProgramState& state) const;

    QListWidget* PopList1 = nullptr;
    QListWidget* PopList2 = nullptr;
    QListWidget* VarList1 = nullptr;
    QListWidget* VarList2 = nullptr;
    QPushButton* btnAll1 = nullptr;
    QPushButton* btnClear1 = nullptr;
    QPushButton* btnAll2 = nullptr;
    QPushButton* btnClear2 = nullptr;
    QPushButton* btnRun = nullptr;
    QPushButton* btnCancel = nullptr;

signals:
    // The selection is filled and the dialog has closed: start the run.
    void runRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void runClicked();

    ProgramState& m_state;
    UserPrompts& m_prompts;
};

} // namespace tavrik
