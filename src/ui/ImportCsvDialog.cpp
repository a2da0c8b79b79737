#include "ui/ImportCsvDialog.h"

#include "datafile/TvkWriter.h"
#include "state/NumberText.h"
#include "ui/QtText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <functional>
#include <utility>

namespace tavrik {

namespace {

constexpr int columnRole = Qt::UserRole; // 0-based CSV column of a variable entry

enum TableColumn { NameColumn = 0, SampleColumn = 1, CensusColumn = 2 };

// Entries a label lists before it only counts the rest.
constexpr int listedEntries = 6;

// Census cells are edited in a line edit that reports every keystroke, so that a bad size is
// named while it is typed, not only once the cell is left. What is typed stays as typed: a
// change of the cell's colour while it is edited does not put the cell's text back.
class CensusDelegate : public QStyledItemDelegate
{
public:
    CensusDelegate(std::function<void(int, const QString&)> typed, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_typed(std::move(typed))
    {}

    QWidget* createEditor(QWidget* parent,
                          const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            const int row = index.row();
            QObject::connect(line, &QLineEdit::textEdited, line, [this, row](const QString& text) {
                m_typed(row, text);
            });
        }
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        if (const auto* line = qobject_cast<QLineEdit*>(editor);
            line != nullptr && line->isModified()) {
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

private:
    std::function<void(int, const QString&)> m_typed;
};

// Lines of a label: the first few entries, then how many more.
QString listed(const QStringList& entries)
{
    QStringList shown = entries.mid(0, listedEntries);
    if (entries.size() > listedEntries) {
        shown << ImportCsvDialog::tr("and %1 more").arg(entries.size() - listedEntries);
    }
    return shown.join(QLatin1Char('\n'));
}

QString columnCaption(const CsvTable& table, std::size_t column)
{
    const std::string& name = table.header[column];
    return name.empty() ? ImportCsvDialog::tr("(column %1)").arg(column + 1) : toQt(name);
}

QTableWidgetItem* readOnlyItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

QTableWidgetItem* numberItem(QTableWidgetItem* item)
{
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

ImportCsvDialog::ImportCsvDialog(CsvTable table, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent)
    , m_table(std::move(table))
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("ImportCsv"));
    setWindowTitle(tr("Import CSV"));

    const ImportPlan plan = defaultPlan(m_table);
    m_populationColumn = plan.populationColumn;
    m_chosen.assign(m_table.header.size(), false);
    for (const std::size_t c : plan.variableColumns) {
        m_chosen[c] = true;
    }

    QFormLayout* form = createChoices(plan);
    auto* lists = new QHBoxLayout;
    lists->addWidget(createVariablesBox(), 1);
    lists->addWidget(createPopulationsBox(), 2);
    createNotes();
    QHBoxLayout* buttons = createButtons();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblFile);
    layout->addLayout(form);
    layout->addLayout(lists, 1);
    layout->addWidget(lblCensus);
    layout->addWidget(lblWarning);
    layout->addWidget(lblMissing);
    layout->addWidget(lblLeftOut);
    layout->addWidget(chkLeaveOut);
    layout->addLayout(buttons);

    fillVariables();
    refresh();

    connect(
        cboPopulation, &QComboBox::currentIndexChanged, this, &ImportCsvDialog::populationChanged);
    connect(lstVariables, &QListWidget::itemChanged, this, &ImportCsvDialog::variableToggled);
    connect(tblPopulations, &QTableWidget::itemChanged, this, &ImportCsvDialog::censusEdited);
    connect(chkLeaveOut, &QCheckBox::toggled, this, &ImportCsvDialog::updateImportButton);
    connect(btnImport, &QPushButton::clicked, this, &ImportCsvDialog::importClicked);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QFormLayout* ImportCsvDialog::createChoices(const ImportPlan& plan)
{
    lblFile = new QLabel(tr("%1: %2 data rows in %3 columns, separated by \"%4\"")
                             .arg(toQt(m_table.displayName))
                             .arg(m_table.rowCount)
                             .arg(m_table.header.size())
                             .arg(QChar::fromLatin1(m_table.separator)),
                         this);
    lblFile->setObjectName(QStringLiteral("lblFile"));

    cboPopulation = new QComboBox(this);
    cboPopulation->setObjectName(QStringLiteral("cboPopulation"));
    for (std::size_t c = 0; c < m_table.header.size(); ++c) {
        cboPopulation->addItem(columnCaption(m_table, c));
    }
    cboPopulation->setCurrentIndex(static_cast<int>(m_populationColumn));

    txtTitle = new QLineEdit(toQt(plan.title), this);
    txtTitle->setObjectName(QStringLiteral("txtTitle"));

    auto* form = new QFormLayout;
    form->addRow(tr("&Population column (names or codes):"), cboPopulation);
    form->addRow(tr("&Title:"), txtTitle);
    return form;
}

QGroupBox* ImportCsvDialog::createVariablesBox()
{
    lstVariables = new QListWidget(this);
    lstVariables->setObjectName(QStringLiteral("lstVariables"));
    lstVariables->setMinimumSize(180, 220);
    auto* variablesBox = new QGroupBox(tr("&Variables"), this);
    auto* variablesLayout = new QVBoxLayout(variablesBox);
    // two short lines, not word wrap: a wrapped label can be squeezed over the list
    lblVariablesHint =
        new QLabel(tr("Columns of numbers are ticked.\nEmpty, NA, N/A and . are missing values."),
                   variablesBox);
    lblVariablesHint->setObjectName(QStringLiteral("lblVariablesHint"));
    variablesLayout->addWidget(lstVariables, 1);
    variablesLayout->addWidget(lblVariablesHint);
    return variablesBox;
}

QGroupBox* ImportCsvDialog::createPopulationsBox()
{
    tblPopulations = new QTableWidget(0, 3, this);
    tblPopulations->setObjectName(QStringLiteral("tblPopulations"));
    tblPopulations->setHorizontalHeaderLabels(
        {tr("Population"), tr("Sample size"), tr("Census size")});
    tblPopulations->verticalHeader()->setVisible(false);
    tblPopulations->horizontalHeader()->setStretchLastSection(true);
    tblPopulations->setSelectionMode(QAbstractItemView::SingleSelection);
    tblPopulations->setMinimumSize(320, 220);
    auto* census = new CensusDelegate(
        [this](int row, const QString& text) { censusTyped(row, text); }, tblPopulations);
    tblPopulations->setItemDelegateForColumn(CensusColumn, census);
    // an edit left with Esc leaves the cell as it was, and so the sizes checked
    connect(census, &QAbstractItemDelegate::closeEditor, this, &ImportCsvDialog::censusClosed);
    auto* populationsBox = new QGroupBox(tr("Populations"), this);
    auto* populationsLayout = new QVBoxLayout(populationsBox);
    lblPopulationsHint = new QLabel(
        tr("Equal census sizes weight the populations equally; a size of 0 gives a population "
           "no weight."),
        populationsBox);
    lblPopulationsHint->setObjectName(QStringLiteral("lblPopulationsHint"));
    lblCensus = new QLabel(this);
    lblCensus->setObjectName(QStringLiteral("lblCensus"));
    lblCensus->setWordWrap(true);
    lblCensus->setVisible(false);
    populationsLayout->addWidget(tblPopulations, 1);
    populationsLayout->addWidget(lblPopulationsHint);
    return populationsBox;
}

// The notes under the lists, hidden until there is something to say.
void ImportCsvDialog::createNotes()
{
    lblWarning = new QLabel(this);
    lblWarning->setObjectName(QStringLiteral("lblWarning"));
    lblWarning->setWordWrap(true);
    lblWarning->setVisible(false);
    lblMissing = new QLabel(this);
    lblMissing->setObjectName(QStringLiteral("lblMissing"));
    lblMissing->setWordWrap(true);
    lblMissing->setVisible(false);
    lblLeftOut = new QLabel(this);
    lblLeftOut->setObjectName(QStringLiteral("lblLeftOut"));
    lblLeftOut->setWordWrap(true);
    chkLeaveOut = new QCheckBox(tr("&Leave these rows out"), this);
    chkLeaveOut->setObjectName(QStringLiteral("chkLeaveOut"));
}

QHBoxLayout* ImportCsvDialog::createButtons()
{
    btnImport = new QPushButton(tr("&Import"), this);
    btnImport->setObjectName(QStringLiteral("btnImport"));
    btnImport->setDefault(true);
    btnCancel = new QPushButton(tr("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    lblImportOff = new QLabel(this);
    lblImportOff->setObjectName(QStringLiteral("lblImportOff"));
    lblImportOff->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblImportOff, 1);
    buttons->addWidget(btnImport);
    buttons->addWidget(btnCancel);
    return buttons;
}

void ImportCsvDialog::populationChanged(int index)
{
    if (index < 0) {
        return;
    }
    // The column given up returns to the variables as it came: ticked when it holds numbers.
    m_chosen[m_populationColumn] = m_table.columns[m_populationColumn].numeric;
    m_populationColumn = static_cast<std::size_t>(index);
    m_chosen[m_populationColumn] = false;
    fillVariables();
    refresh();
}

void ImportCsvDialog::variableToggled(QListWidgetItem* item)
{
    if (m_filling) {
        return;
    }
    const auto column = static_cast<std::size_t>(item->data(columnRole).toInt());
    m_chosen[column] = item->checkState() == Qt::Checked;
    refresh();
}

void ImportCsvDialog::censusEdited(QTableWidgetItem* item)
{
    if (m_filling || item->column() != CensusColumn) {
        return;
    }
    censusTyped(item->row(), item->text());
}

void ImportCsvDialog::censusTyped(int row, const QString& text)
{
    const auto at = static_cast<std::size_t>(row);
    if (at < m_preview.populations.size()) {
        m_censusText[m_preview.populations[at].name] = text;
    }
    checkCensus();
}

void ImportCsvDialog::censusClosed()
{
    for (int row = 0; row < tblPopulations->rowCount(); ++row) {
        const auto at = static_cast<std::size_t>(row);
        const QTableWidgetItem* cell = tblPopulations->item(row, CensusColumn);
        if (at < m_preview.populations.size() && cell != nullptr) {
            m_censusText[m_preview.populations[at].name] = cell->text();
        }
    }
    checkCensus();
}

void ImportCsvDialog::checkCensus()
{
    const QString defaultText = toQt(shortestText(defaultCensusSize));
    QStringList refused;
    QStringList unweighted;
    for (std::size_t i = 0; i < m_preview.populations.size(); ++i) {
        const std::string& name = m_preview.populations[i].name;
        const auto typed = m_censusText.find(name);
        const QString text = typed == m_censusText.end() ? defaultText : typed->second.trimmed();
        float size = 0.0f;
        const std::string problem = censusSizeProblem(toStd(text), m_table.separator, size);
        QTableWidgetItem* cell = tblPopulations->item(static_cast<int>(i), CensusColumn);
        if (!problem.empty()) {
            refused << tr("Census size of \"%1\": %2; expected a number of 0 or more.")
                           .arg(toQt(name), toQt(problem));
        } else if (size == 0.0f) {
            unweighted << tr("\"%1\" has a census size of 0 and so no weight.").arg(toQt(name));
        }
        if (cell != nullptr) {
            const bool bad = !problem.empty();
            m_filling = true;
            cell->setForeground(bad ? QBrush(Qt::red) : QBrush());
            cell->setToolTip(bad ? toQt(problem) : QString());
            m_filling = false;
        }
    }
    QStringList badNames;
    for (std::size_t i = 0; i < m_preview.populations.size(); ++i) {
        const std::string& name = m_preview.populations[i].name;
        const std::string problem = tvkNameProblem(name);
        if (!problem.empty()) {
            badNames << tr("The population name \"%1\" cannot be written: %2.")
                            .arg(toQt(name), toQt(problem));
        }
        if (QTableWidgetItem* cell = tblPopulations->item(static_cast<int>(i), NameColumn)) {
            m_filling = true;
            cell->setForeground(problem.empty() ? QBrush() : QBrush(Qt::red));
            cell->setToolTip(toQt(problem));
            m_filling = false;
        }
    }
    m_censusValid = refused.isEmpty();
    m_namesValid = badNames.isEmpty();
    lblCensus->setText(listed(badNames + refused + unweighted));
    lblCensus->setVisible(!lblCensus->text().isEmpty());
    updateImportButton();
}

void ImportCsvDialog::showWarning()
{
    QStringList lines;
    for (const std::string& note : m_table.notes) {
        lines << toQt(note);
    }
    // a column the user ticked all the same is no longer "not ticked"
    QStringList unticked;
    QStringList ticked;
    for (std::size_t c = 0; c < m_table.columns.size(); ++c) {
        if (c != m_populationColumn && !m_table.columns[c].numeric) {
            (m_chosen[c] ? ticked : unticked) << toQt(columnProblem(m_table, c));
        }
    }
    if (!unticked.isEmpty()) {
        lines << tr("Not numeric, so not ticked as variables:") << listed(unticked);
    }
    if (!ticked.isEmpty()) {
        lines << tr("Ticked, though not numeric; rows with a value that is not a number are "
                    "left out:")
              << listed(ticked);
    }
    lblWarning->setText(lines.join(QLatin1Char('\n')));
    lblWarning->setVisible(!lines.isEmpty());
}

void ImportCsvDialog::showMissing()
{
    QString text;
    if (m_previewError.isEmpty() && m_preview.missingCount > 0) {
        QStringList lines =
            toQt(missingSummary(m_table, chosenVariables(), m_preview)).split(QLatin1Char('\n'));
        const QString total = lines.takeFirst();
        text = total + QLatin1Char('\n') + listed(lines);
    }
    lblMissing->setText(text);
    lblMissing->setVisible(!text.isEmpty());
}

void ImportCsvDialog::fillVariables()
{
    m_filling = true;
    lstVariables->clear();
    for (std::size_t c = 0; c < m_table.header.size(); ++c) {
        if (c == m_populationColumn) {
            continue;
        }
        auto* item = new QListWidgetItem(columnCaption(m_table, c), lstVariables);
        item->setData(columnRole, static_cast<int>(c));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(m_chosen[c] ? Qt::Checked : Qt::Unchecked);
    }
    m_filling = false;
}

std::vector<std::size_t> ImportCsvDialog::chosenVariables() const
{
    std::vector<std::size_t> columns; // in file order, the order the data file lists them
    for (std::size_t c = 0; c < m_chosen.size(); ++c) {
        if (m_chosen[c] && c != m_populationColumn) {
            columns.push_back(c);
        }
    }
    return columns;
}

void ImportCsvDialog::refresh()
{
    Result<ImportPreview> previewed = preview(m_table, m_populationColumn, chosenVariables());
    m_previewError = previewed ? QString() : toQt(previewed.error().message);
    m_preview = previewed ? std::move(*previewed) : ImportPreview{};

    m_filling = true;
    const QString defaultText = toQt(shortestText(defaultCensusSize));
    tblPopulations->setRowCount(static_cast<int>(m_preview.populations.size()));
    for (std::size_t i = 0; i < m_preview.populations.size(); ++i) {
        const ImportPopulation& p = m_preview.populations[i];
        const int row = static_cast<int>(i);
        tblPopulations->setItem(row, NameColumn, readOnlyItem(toQt(p.name)));
        tblPopulations->setItem(
            row, SampleColumn, numberItem(readOnlyItem(QString::number(p.sampleSize))));
        const auto typed = m_censusText.find(p.name);
        tblPopulations->setItem(row,
                                CensusColumn,
                                numberItem(new QTableWidgetItem(
                                    typed == m_censusText.end() ? defaultText : typed->second)));
    }
    tblPopulations->resizeColumnsToContents();
    m_filling = false;

    std::vector<long> lines;
    QStringList reasons;
    for (const LeftOutRow& row : m_preview.leftOut) {
        lines.push_back(row.line);
        reasons << toQt(row.reason);
    }
    lines.push_back(m_preview.leftOutCount);
    if (!m_previewError.isEmpty()) {
        lblLeftOut->setText(m_previewError);
        lblLeftOut->setToolTip(QString());
    } else if (m_preview.leftOutCount == 0) {
        lblLeftOut->setText(
            tr("No row is left out: all %1 data rows are kept.").arg(m_preview.keptRows));
        lblLeftOut->setToolTip(QString());
    } else {
        lblLeftOut->setText(toQt(leftOutSummary(m_preview)));
        lblLeftOut->setToolTip(reasons.join(QLatin1Char('\n')));
    }
    // agreement to leave rows out holds for the rows it was given for, no others
    if (lines != m_leftOutLines) {
        chkLeaveOut->setChecked(false);
        m_leftOutLines = std::move(lines);
    }
    chkLeaveOut->setVisible(m_preview.leftOutCount > 0);
    showMissing();
    showWarning();
    checkCensus();
}

void ImportCsvDialog::updateImportButton()
{
    QString why;
    bool anyNumeric = false; // a column of numbers besides the populations
    for (std::size_t c = 0; c < m_table.columns.size(); ++c) {
        anyNumeric = anyNumeric || (c != m_populationColumn && m_table.columns[c].numeric);
    }
    if (!m_previewError.isEmpty()) {
        why = tr("Import is off: the file cannot be read again.");
    } else if (chosenVariables().empty()) {
        why = anyNumeric ? tr("Import is off: tick at least one variable.")
                         : tr("Import is off: no column other than the population column holds "
                              "numbers only, so there is no variable to import.");
    } else if (m_preview.keptRows == 0) {
        why = tr("Import is off: no row would be left to import.");
    } else if (m_preview.leftOutCount > 0 && !chkLeaveOut->isChecked()) {
        why = tr("Import is off until you agree to leave the rows out.");
    } else if (!m_namesValid) {
        why = tr("Import is off: a population name cannot be written to a data file.");
    } else if (!m_censusValid) {
        why = tr("Import is off until every census size is a number of 0 or more.");
    }
    lblImportOff->setText(why);
    btnImport->setEnabled(why.isEmpty());
}

void ImportCsvDialog::importClicked()
{
    ImportPlan plan;
    plan.populationColumn = m_populationColumn;
    plan.variableColumns = chosenVariables();
    plan.title = toStd(txtTitle->text());
    plan.leaveOutRows = chkLeaveOut->isChecked();
    for (int row = 0; row < tblPopulations->rowCount(); ++row) {
        const std::string& name = m_preview.populations[static_cast<std::size_t>(row)].name;
        const QString text = tblPopulations->item(row, CensusColumn)->text().trimmed();
        float size = 0.0f;
        if (const std::string problem = censusSizeProblem(toStd(text), m_table.separator, size);
            !problem.empty()) {
            m_prompts.message(
                tblPopulations,
                UserPrompts::Icon::Critical,
                tr("ERROR"),
                tr("The census size of population \"%1\": %2.").arg(toQt(name), toQt(problem)));
            tblPopulations->setCurrentCell(row, CensusColumn);
            tblPopulations->setFocus(Qt::OtherFocusReason);
            return;
        }
        plan.censusSizes[name] = size;
    }

    Result<std::string> text = tavrik::tvkText(m_table, plan);
    if (!text) {
        // the box belongs to this dialog, which stays open to change what is wrong
        m_prompts.message(
            btnImport, UserPrompts::Icon::Critical, tr("ERROR"), toQt(text.error().message));
        return;
    }
    m_tvkText = std::move(*text);
    accept();
}

} // namespace tavrik
