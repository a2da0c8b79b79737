#include "ui/OptionsDialog.h"

#include "state/HeritabilityText.h"
#include "ui/QtText.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavrik {

OptionsDialog::OptionsDialog(ProgramState& state, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                  Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_state(state)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("Options"));
    setWindowTitle(tr("Options"));

    Label1 = new QLabel(tr("Heritability"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    H2Text = new QLineEdit(this);
    H2Text->setObjectName(QStringLiteral("H2Text"));
    Label1->setBuddy(H2Text);

    CheckBias = new QCheckBox(tr("Correct for sampling &bias"), this);
    CheckBias->setObjectName(QStringLiteral("CheckBias"));
    CheckScaling = new QCheckBox(tr("Compute &scaled R and distance matrices"), this);
    CheckScaling->setObjectName(QStringLiteral("CheckScaling"));
    CheckOutput = new QCheckBox(tr("Show &matrices on screen"), this);
    CheckOutput->setObjectName(QStringLiteral("CheckOutput"));

    // No default button: Enter in the heritability box only moves the focus (keyPressEvent).
    btnOK = new QPushButton(tr("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setAutoDefault(false);
    btnDefault = new QPushButton(tr("Default"), this);
    btnDefault->setObjectName(QStringLiteral("btnDefault"));
    btnDefault->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(Label1);
    top->addWidget(H2Text);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnOK);
    buttons->addWidget(btnDefault);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(CheckBias);
    layout->addWidget(CheckScaling);
    layout->addWidget(CheckOutput);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // top to bottom, as the controls are laid out
    setTabOrder(H2Text, CheckBias);
    setTabOrder(CheckBias, CheckScaling);
    setTabOrder(CheckScaling, CheckOutput);
    setTabOrder(CheckOutput, btnOK);
    setTabOrder(btnOK, btnDefault);

    connect(H2Text, &QLineEdit::textChanged, this, &OptionsDialog::heritabilityEdited);
    connect(btnOK, &QPushButton::clicked, this, &OptionsDialog::okClicked);
    connect(btnDefault, &QPushButton::clicked, this, &OptionsDialog::defaultClicked);
}

void OptionsDialog::loadFrom(const ProgramState& state)
{
    // Setting the text stores its value again, which is the value shown to seven digits.
    H2Text->setText(toQt(heritabilityText(state.settings.heritability)));
    H2Text->selectAll();
    CheckOutput->setChecked(state.settings.showMatrices);
    CheckBias->setChecked(state.settings.biasCorrection);
    CheckScaling->setChecked(state.settings.scaledAnalysis);
    CheckScaling->setEnabled(!state.dataSet.equalSizes);
}

void OptionsDialog::showDefaults(bool scalingAvailable)
{
    resetHeritabilityText();
    CheckBias->setChecked(true);
    CheckScaling->setChecked(false);
    CheckOutput->setChecked(false);
    CheckScaling->setEnabled(scalingAvailable);
}

void OptionsDialog::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (focusWidget() == H2Text) {
            btnOK->setFocus(Qt::TabFocusReason);
        } else if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
        }
        event->accept();
        return;
    case Qt::Key_Escape:
        // there is no Cancel button; only the close control leaves the dialog
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void OptionsDialog::heritabilityEdited(const QString& text)
{
    m_state.settings.heritability = heritabilityFromText(toStd(text));
}

void OptionsDialog::okClicked()
{
    if (!heritabilityAccepted(m_state.settings.heritability)) {
        // the box belongs to this dialog and hands the focus back to the heritability
        m_prompts.message(
            H2Text, UserPrompts::Icon::Critical, tr("ERROR"), tr("Heritability out of range"));
        resetHeritabilityText();
        H2Text->setFocus(Qt::OtherFocusReason);
        return;
    }
    m_state.settings.biasCorrection = CheckBias->isChecked();
    m_state.settings.scaledAnalysis = CheckScaling->isChecked();
    m_state.settings.showMatrices = CheckOutput->isChecked();
    accept();
}

void OptionsDialog::defaultClicked()
{
    resetHeritabilityText();
    CheckBias->setChecked(true);
    CheckScaling->setChecked(false);
    CheckOutput->setChecked(false);
    H2Text->setFocus(Qt::OtherFocusReason);
}

void OptionsDialog::resetHeritabilityText()
{
    // setText does not signal textChanged when the text is already "1", so store it here too
    H2Text->setText(QStringLiteral("1"));
    m_state.settings.heritability = 1.0f;
    H2Text->selectAll();
}

} // namespace tavrik
