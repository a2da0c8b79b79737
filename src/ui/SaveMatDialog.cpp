#include "ui/SaveMatDialog.h"

#include "io/AtomicFile.h"
#include "ui/QtText.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tavrik {

QString qtFileFilter(std::string_view filter)
{
    QString text = toQt(filter);
    const qsizetype open = text.lastIndexOf(QLatin1Char('('));
    const qsizetype close = text.lastIndexOf(QLatin1Char(')'));
    if (open < 0 || close < open) {
        return text;
    }
    QStringList patterns =
        text.mid(open + 1, close - open - 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& pattern : QStringList(patterns)) {
        const QString lower = pattern.toLower();
        if (!patterns.contains(lower)) {
            patterns << lower;
        }
    }
    return text.left(open + 1) + patterns.join(QLatin1Char(' ')) + text.mid(close);
}

bool writeExportFile(UserPrompts& prompts,
                     const QString& fileName,
                     std::string_view bytes,
                     QWidget* owner)
{
    const Status written = writeFileAtomically(toPath(fileName), bytes);
    if (!written) {
        prompts.message(owner,
                        UserPrompts::Icon::Critical,
                        QObject::tr("Error"),
                        messageText(written.error().message));
        return false;
    }
    return true;
}

void saveResultText(UserPrompts& prompts,
                    QWidget* owner,
                    std::string_view filter,
                    const QString& suffix,
                    std::string_view text)
{
    const std::optional<QString> chosen =
        prompts.saveFile({{qtFileFilter(filter)}, {}, suffix, QStringLiteral("results"), owner});
    if (!chosen) {
        return;
    }
    if (writeExportFile(prompts, *chosen, text, owner)) {
        prompts.message(owner,
                        UserPrompts::Icon::None,
                        QObject::tr("TAVRIK"),
                        QObject::tr("File has been saved."));
    }
}

namespace {

QRadioButton* addOption(QGroupBox* frame, const QString& caption, const char* name)
{
    auto* option = new QRadioButton(caption, frame);
    option->setObjectName(QString::fromLatin1(name));
    frame->layout()->addWidget(option);
    return option;
}

QGroupBox* addFrame(QWidget* parent, const QString& caption, const char* name)
{
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(QString::fromLatin1(name));
    new QVBoxLayout(frame);
    return frame;
}

} // namespace

SaveMatDialog::SaveMatDialog(ProgramState& state, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                  Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_state(state)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("SaveMat"));
    setWindowTitle(tr("Save Matrix"));

    // the buttons of each frame exclude one another through their common parent
    Frame1 = addFrame(this, tr("Matrix to Save"), "Frame1");
    Option1 = addOption(Frame1, tr("R"), "Option1");
    Option2 = addOption(Frame1, tr("D-Square"), "Option2");
    Option9 = addOption(Frame1, tr("Scaled R"), "Option9");
    Option3 = addOption(Frame1, tr("Scaled D-Squared"), "Option3");
    Frame2 = addFrame(this, tr("Output Format"), "Frame2");
    Option4 = addOption(Frame2, tr("List (space delimited)"), "Option4");
    Option5 = addOption(Frame2, tr("List (comma delimited)"), "Option5");
    Option6 = addOption(Frame2, tr("Matrix (space delimited)"), "Option6");
    Option7 = addOption(Frame2, tr("Matrix (comma delimited)"), "Option7");
    Option8 = addOption(Frame2, tr("Matrix (NT-SYS)"), "Option8");
    Option10 = addOption(Frame2, tr("Matrix (PHYLIP)"), "Option10");

    btnSave = new QPushButton(tr("&Save"), this);
    btnSave->setObjectName(QStringLiteral("btnSave"));
    btnClose = new QPushButton(tr("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(btnSave);
    buttons->addStretch();
    buttons->addWidget(btnClose);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(Frame1, 0, Qt::AlignTop);
    layout->addWidget(Frame2, 0, Qt::AlignTop);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnSave, &QPushButton::clicked, this, &SaveMatDialog::saveClicked);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::close);
    for (QRadioButton* kind : {Option1, Option2, Option9, Option3}) {
        connect(kind, &QRadioButton::toggled, this, &SaveMatDialog::enablePhylipChoice);
    }
}

void SaveMatDialog::enablePhylipChoice()
{
    const bool distance = !isRType(chosenKind());
    if (!distance && Option10->isChecked()) {
        Option6->setChecked(true);
    }
    Option10->setEnabled(distance);
}

void SaveMatDialog::loadFrom(const ProgramState& state)
{
    Option2->setChecked(true);
    Option6->setChecked(true);
    enableScaledChoices(state);
}

void SaveMatDialog::enableScaledChoices(const ProgramState& state)
{
    const bool scaled = state.settings.scaledAnalysis && state.matrixCount == 2;
    // a scaled matrix left chosen from an earlier run would not belong to this one
    if (!scaled && (Option9->isChecked() || Option3->isChecked())) {
        Option2->setChecked(true);
    }
    Option9->setEnabled(scaled);
    Option3->setEnabled(scaled);
}

MatrixKind SaveMatDialog::chosenKind() const
{
    if (Option1->isChecked()) {
        return MatrixKind::R;
    }
    if (Option9->isChecked()) {
        return MatrixKind::ScaledR;
    }
    if (Option3->isChecked()) {
        return MatrixKind::ScaledDSquare;
    }
    return MatrixKind::DSquare;
}

MatrixLayout SaveMatDialog::chosenLayout() const
{
    if (Option4->isChecked()) {
        return MatrixLayout::ListSpace;
    }
    if (Option5->isChecked()) {
        return MatrixLayout::ListComma;
    }
    if (Option7->isChecked()) {
        return MatrixLayout::SquareComma;
    }
    if (Option8->isChecked()) {
        return MatrixLayout::NtSys;
    }
    if (Option10->isChecked()) {
        return MatrixLayout::Phylip;
    }
    return MatrixLayout::SquareSpace;
}

void SaveMatDialog::saveClicked()
{
    const MatrixKind kind = chosenKind();
    const MatrixLayout layout = chosenLayout();
    // every message of the dialog hands the focus back to Close, where opening put it
    const auto fileName = m_prompts.saveFile(
        {{qtFileFilter(matrixFileFilter(layout))}, {}, {}, QStringLiteral("matrix"), btnClose});
    if (!fileName) {
        return;
    }
    QString saved = tr("File has been saved.");
    std::string text;
    if (layout == MatrixLayout::Phylip) {
        const PhylipFile file = phylipFile(resultMatrix(m_state.results, kind),
                                           m_state.results.populationNames,
                                           PhylipNames::Codes);
        // the name map first: a matrix of codes without it would be no use
        if (!file.nameMap.empty() &&
            !writeExportFile(
                m_prompts, toQt(phylipNameMapPath(toStd(*fileName))), file.nameMap, btnClose)) {
            return;
        }
        for (const std::string& note : phylipNotes(file, toStd(*fileName))) {
            saved += "\n" + toQt(note);
        }
        text = file.text;
    } else {
        text = matrixFileText(m_state.results, kind, layout);
    }
    if (writeExportFile(m_prompts, *fileName, text, btnClose)) {
        m_prompts.message(btnClose, UserPrompts::Icon::None, tr("TAVRIK"), saved);
    }
}

} // namespace tavrik
