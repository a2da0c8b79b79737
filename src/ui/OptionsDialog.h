// The modeless Options dialog: the heritability, stored live as the user types, and three
// option flags, stored by OK.
#pragma once

#include "state/ProgramState.h"
#include "ui/UserPrompts.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tavrik {

class OptionsDialog : public QDialog
{
    Q_OBJECT
public:
    OptionsDialog(ProgramState& state, UserPrompts& prompts, QWidget* parent = nullptr);

    // Fills the controls from the settings: run each time the dialog opens after a close.
    void loadFrom(const ProgramState& state);
    // The controls of freshly reset settings, for a newly opened data file.
    void showDefaults(bool scalingAvailable);

    QLabel* Label1 = nullptr;
    QLineEdit* H2Text = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnDefault = nullptr;
    QCheckBox* CheckBias = nullptr;
    QCheckBox* CheckScaling = nullptr;
    QCheckBox* CheckOutput = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void heritabilityEdited(const QString& text);
    void okClicked();
    void defaultClicked();
    void resetHeritabilityText();

    ProgramState& m_state;
    UserPrompts& m_prompts;
};

} // namespace tavrik
