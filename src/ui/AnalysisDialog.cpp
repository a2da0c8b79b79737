#include "ui/AnalysisDialog.h"

#include "state/HeritabilityText.h"
#include "ui/QtText.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavrik {

namespace {

constexpr int filePositionRole = Qt::UserRole;

int filePosition(const QListWidgetItem* item)
{
    return item->data(filePositionRole).toInt();
}

void appendEntry(QListWidget* list, const QString& name, int position)
{
    auto* item = new QListWidgetItem(name, list);
    item->setData(filePositionRole, position);
}

void fillList(QListWidget* list, const std::vector<std::string>& names)
{
    list->clear();
    for (std::size_t i = 0; i < names.size(); ++i) {
        appendEntry(list, toQt(names[i]), static_cast<int>(i));
    }
}

// Copies the Available list's current entry to the Selected list unless an entry of the same
// file position is there already.
void addCurrent(QListWidget* available, QListWidget* selected)
{
    const QListWidgetItem* current = available->currentItem();
    if (current == nullptr) {
        return;
    }
    const int position = filePosition(current);
    for (int row = 0; row < selected->count(); ++row) {
        if (filePosition(selected->item(row)) == position) {
            return;
        }
    }
    appendEntry(selected, current->text(), position);
}

void removeCurrent(QListWidget* selected)
{
    delete selected->currentItem();
}

void selectAll(const QListWidget* available, QListWidget* selected)
{
    selected->clear();
    for (int row = 0; row < available->count(); ++row) {
        const QListWidgetItem* item = available->item(row);
        appendEntry(selected, item->text(), filePosition(item));
    }
}

std::vector<bool> flagsOf(const QListWidget* selected, std::size_t count)
{
    std::vector<bool> flags(count, false);
    for (int row = 0; row < selected->count(); ++row) {
        const auto position = static_cast<std::size_t>(filePosition(selected->item(row)));
        if (position < count) {
            flags[position] = true;
        }
    }
    return flags;
}

QListWidget* makeList(const char* name, QWidget* parent)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setMinimumSize(140, 200);
    return list;
}

QPushButton* makeButton(const QString& caption, const char* name, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

// One step of the dialog: heading, note, the two lists with their hints and buttons.
QWidget* makeStep(const QString& heading,
                  const QString& note,
                  QListWidget* available,
                  QListWidget* selected,
                  QPushButton* all,
                  QPushButton* clear,
                  QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* grid = new QGridLayout(box);
    auto* title = new QLabel(heading, box);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    grid->addWidget(title, 0, 0, 1, 2, Qt::AlignHCenter);
    grid->addWidget(new QLabel(note, box), 1, 0, 1, 2, Qt::AlignHCenter);
    grid->addWidget(new QLabel(AnalysisDialog::tr("Available"), box), 2, 0);
    grid->addWidget(new QLabel(AnalysisDialog::tr("Selected"), box), 2, 1);
    grid->addWidget(available, 3, 0);
    grid->addWidget(selected, 3, 1);
    grid->addWidget(new QLabel(AnalysisDialog::tr("Double click in list to select"), box), 4, 0);
    grid->addWidget(new QLabel(AnalysisDialog::tr("Double click in list to remove"), box), 4, 1);
    grid->addWidget(all, 5, 0);
    grid->addWidget(clear, 5, 1);
    return box;
}

} // namespace

AnalysisDialog::AnalysisDialog(ProgramState& state, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("Analysis"));
    setWindowTitle(tr("Analysis"));

    PopList1 = makeList("PopList1", this);
    PopList2 = makeList("PopList2", this);
    VarList1 = makeList("VarList1", this);
    VarList2 = makeList("VarList2", this);
    btnAll1 = makeButton(tr("Select All"), "btnAll1", this);
    btnClear1 = makeButton(tr("Clear All"), "btnClear1", this);
    btnAll2 = makeButton(tr("Select All"), "btnAll2", this);
    btnClear2 = makeButton(tr("Clear All"), "btnClear2", this);
    btnRun = makeButton(tr("&Run"), "btnRun", this);
    btnCancel = makeButton(tr("Cancel"), "btnCancel", this);

    auto* steps = new QHBoxLayout;
    steps->addWidget(makeStep(tr("Step 1: Choose Populations"),
                              tr("(Default=All populations)"),
                              PopList1,
                              PopList2,
                              btnAll1,
                              btnClear1,
                              this));
    steps->addWidget(makeStep(tr("Step 2: Choose Variables"),
                              tr("(Default=All variables)"),
                              VarList1,
                              VarList2,
                              btnAll2,
                              btnClear2,
                              this));
    auto* perform = new QLabel(tr("Step3: Perform Analysis"), this);
    QFont bold = perform->font();
    bold.setBold(true);
    perform->setFont(bold);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnRun);
    buttons->addWidget(btnCancel);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(steps);
    layout->addWidget(perform, 0, Qt::AlignHCenter);
    layout->addLayout(buttons);

    fillList(PopList1, state.dataSet.popNames);
    fillList(PopList2, state.dataSet.popNames);
    fillList(VarList1, state.dataSet.varNames);
    fillList(VarList2, state.dataSet.varNames);

    for (QListWidget* list : {PopList1, PopList2, VarList1, VarList2}) {
        list->installEventFilter(this);
    }
    connect(PopList1, &QListWidget::itemDoubleClicked, this, [this] {
        addCurrent(PopList1, PopList2);
    });
    connect(VarList1, &QListWidget::itemDoubleClicked, this, [this] {
        addCurrent(VarList1, VarList2);
    });
    connect(PopList2, &QListWidget::itemDoubleClicked, this, [this] { removeCurrent(PopList2); });
    connect(VarList2, &QListWidget::itemDoubleClicked, this, [this] { removeCurrent(VarList2); });
    connect(btnAll1, &QPushButton::clicked, this, [this] { selectAll(PopList1, PopList2); });
    connect(btnAll2, &QPushButton::clicked, this, [this] { selectAll(VarList1, VarList2); });
    connect(btnClear1, &QPushButton::clicked, PopList2, &QListWidget::clear);
    connect(btnClear2, &QPushButton::clicked, VarList2, &QListWidget::clear);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::close);
    connect(btnRun, &QPushButton::clicked, this, &AnalysisDialog::runClicked);
}

QStringList AnalysisDialog::applyTo(ProgramState& state) const
{
    QStringList messages;
    if (PopList2->count() == 0) {
        messages << tr("No populations have been selected");
    }
    if (PopList2->count() == 1) {
        messages << tr("At least 2 populations must be selected");
    }
    if (VarList2->count() == 0) {
        messages << tr("No variables have been selected");
    }
    if (!messages.isEmpty()) {
        return messages;
    }
    Selection& selection = state.selection;
    selection.popSelected = flagsOf(PopList2, state.dataSet.popNames.size());
    selection.varSelected = flagsOf(VarList2, state.dataSet.varNames.size());
    return messages;
}

bool AnalysisDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress) {
        return QDialog::eventFilter(watched, event);
    }
    // A key that types a character (Enter, Space, Backspace, letters, digits) acts like a
    // double-click; keys that only move the current entry do not.
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Delete && (watched == PopList2 || watched == VarList2)) {
        removeCurrent(static_cast<QListWidget*>(watched));
        return true;
    }
    const bool typesCharacter = !key->text().isEmpty() && key->key() != Qt::Key_Escape &&
                                key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab &&
                                key->key() != Qt::Key_Delete;
    if (!typesCharacter) {
        return QDialog::eventFilter(watched, event);
    }
    if (watched == PopList1) {
        addCurrent(PopList1, PopList2);
    } else if (watched == VarList1) {
        addCurrent(VarList1, VarList2);
    } else if (watched == PopList2) {
        removeCurrent(PopList2);
    } else if (watched == VarList2) {
        removeCurrent(VarList2);
    } else {
        return QDialog::eventFilter(watched, event);
    }
    // Enter stays in the list instead of pressing Run
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

void AnalysisDialog::runClicked()
{
    // The Options dialog stores the heritability as it is typed and checks it only on OK; a
    // dialog closed another way leaves the typed value, which no run may use.
    if (!heritabilityAccepted(m_state.settings.heritability)) {
        m_prompts.message(
            btnRun, UserPrompts::Icon::Critical, tr("ERROR"), tr("Heritability out of range"));
        return;
    }
    const QStringList messages = applyTo(m_state);
    for (const QString& text : messages) {
        m_prompts.message(btnRun, UserPrompts::Icon::Critical, tr("ERROR"), text);
    }
    if (!messages.isEmpty()) {
        return;
    }
    close();
    emit runRequested();
}

} // namespace tavrik
