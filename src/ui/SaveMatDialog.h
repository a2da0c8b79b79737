// The modeless Save Matrix dialog: one of the last run's four matrices in one of six file
// layouts (PHYLIP for the D-square matrices only), saved as often as the user likes until the
// dialog is closed. Also the two steps that every export command of the window shares: the file
// filter and the guarded write.
#pragma once

#include "export/MatrixExport.h"
#include "state/ProgramState.h"
#include "ui/UserPrompts.h"

#include <QDialog>

#include <string_view>

class QGroupBox;
class QPushButton;
class QRadioButton;

namespace tavrik {

// "Text Files (*.TXT)" as a Qt filter that also lists the lower-case pattern, so that files
// named in either case show on a case-sensitive file system: "Text Files (*.TXT *.txt)".
QString qtFileFilter(std::string_view filter);

// Writes bytes to fileName whole or not at all. A failure is shown in a message that names
// the file and the system's reason (the focus then returns to owner); returns whether the
// file was written.
bool writeExportFile(UserPrompts& prompts,
                     const QString& fileName,
                     std::string_view bytes,
                     QWidget* owner = nullptr);

// Asks for a file name of this filter (the suffix added to a bare name), writes the text, and
// confirms the save; every step reports at owner.
void saveResultText(UserPrompts& prompts,
                    QWidget* owner,
                    std::string_view filter,
                    const QString& suffix,
                    std::string_view text);

class SaveMatDialog : public QDialog
{
    Q_OBJECT
public:
    SaveMatDialog(ProgramState& state, UserPrompts& prompts, QWidget* parent = nullptr);

    // The choices of a fresh opening: D-Square as a space-delimited matrix.
    void loadFrom(const ProgramState& state);
    // The scaled matrices can be chosen only when the last run analysed the scaled R matrix.
    void enableScaledChoices(const ProgramState& state);

    MatrixKind chosenKind() const;
    MatrixLayout chosenLayout() const;

    QGroupBox* Frame1 = nullptr; // "Matrix to Save"
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QRadioButton* Option9 = nullptr;
    QRadioButton* Option3 = nullptr;
    QGroupBox* Frame2 = nullptr; // "Output Format"
    QRadioButton* Option4 = nullptr;
    QRadioButton* Option5 = nullptr;
    QRadioButton* Option6 = nullptr;
    QRadioButton* Option7 = nullptr;
    QRadioButton* Option8 = nullptr;
    QRadioButton* Option10 = nullptr; // "Matrix (PHYLIP)"
    QPushButton* btnSave = nullptr;
    QPushButton* btnClose = nullptr;

private:
    void saveClicked();
    // PHYLIP holds distances: it is offered only while a D-square matrix is chosen.
    void enablePhylipChoice();

    ProgramState& m_state;
    UserPrompts& m_prompts;
};

} // namespace tavrik
