#include "ui/ImportCsvDialog.h"

#include "datafile/TvkWriter.h"
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
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace tavrik {

namespace {

constexpr int columnRole = Qt::UserRole; // 0-based CSV column of a variable entry

enum TableColumn { NameColumn = 0, SampleColumn = 1, CensusColumn = 2 };

// Reasons shown in the note's tool tip; the note itself already lists the lines.
constexpr std::size_t reasonsInTip = 20;

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
    , m_columns(analyseColumns(m_table))
{
    setObjectName(QStringLiteral("ImportCsv"));
    setWindowTitle(tr("Import CSV"));

    const ImportPlan plan = defaultPlan(m_table);
    m_populationColumn = plan.populationColumn;
    m_chosen.assign(m_table.header.size(), false);
    for (const std::size_t c : plan.variableColumns) {
        m_chosen[c] = true;
    }

    lblFile = new QLabel(tr("%1: %2 data rows in %3 columns, separated by \"%4\"")
                             .arg(toQt(m_table.displayName))
                             .arg(m_table.rows.size())
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

    lstVariables = new QListWidget(this);
    lstVariables->setObjectName(QStringLiteral("lstVariables"));
    lstVariables->setMinimumSize(180, 220);
    auto* variablesBox = new QGroupBox(tr("&Variables"), this);
    auto* variablesLayout = new QVBoxLayout(variablesBox);
    variablesLayout->addWidget(lstVariables);
    variablesLayout->addWidget(new QLabel(tr("Columns of numbers are ticked."), variablesBox));

    tblPopulations = new QTableWidget(0, 3, this);
    tblPopulations->setObjectName(QStringLiteral("tblPopulations"));
    tblPopulations->setHorizontalHeaderLabels(
        {tr("Population"), tr("Sample size"), tr("Census size")});
    tblPopulations->verticalHeader()->setVisible(false);
    tblPopulations->horizontalHeader()->setStretchLastSection(true);
    tblPopulations->setSelectionMode(QAbstractItemView::SingleSelection);
    tblPopulations->setMinimumSize(320, 220);
    auto* populationsBox = new QGroupBox(tr("Populations"), this);
    auto* populationsLayout = new QVBoxLayout(populationsBox);
    populationsLayout->addWidget(tblPopulations);
    populationsLayout->addWidget(
        new QLabel(tr("Equal census sizes weight the populations equally."), populationsBox));

    auto* lists = new QHBoxLayout;
    lists->addWidget(variablesBox, 1);
    lists->addWidget(populationsBox, 2);

    lblLeftOut = new QLabel(this);
    lblLeftOut->setObjectName(QStringLiteral("lblLeftOut"));
    lblLeftOut->setWordWrap(true);
    chkLeaveOut = new QCheckBox(tr("&Leave these rows out"), this);
    chkLeaveOut->setObjectName(QStringLiteral("chkLeaveOut"));

    btnImport = new QPushButton(tr("&Import"), this);
    btnImport->setObjectName(QStringLiteral("btnImport"));
    btnImport->setDefault(true);
    btnCancel = new QPushButton(tr("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnImport);
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblFile);
    layout->addLayout(form);
    layout->addLayout(lists, 1);
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

void ImportCsvDialog::populationChanged(int index)
{
    if (index < 0) {
        return;
    }
    // The column given up returns to the variables as it came: ticked when it holds numbers.
    m_chosen[m_populationColumn] = m_columns[m_populationColumn].numeric;
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
    const auto row = static_cast<std::size_t>(item->row());
    if (row < m_preview.populations.size()) {
        m_censusText[m_preview.populations[row].name] = item->text();
    }
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
    m_preview = preview(m_table, m_populationColumn, chosenVariables());

    m_filling = true;
    const QString defaultText = toQt(shortestText(defaultCensusSize));
    tblPopulations->setRowCount(static_cast<int>(m_preview.populations.size()));
    for (std::size_t i = 0; i < m_preview.populations.size(); ++i) {
        const ImportPopulation& p = m_preview.populations[i];
        const int row = static_cast<int>(i);
        // the name as the data file will hold it
        tblPopulations->setItem(row, NameColumn, readOnlyItem(toQt(tvkSafeText(p.name))));
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
        if (static_cast<std::size_t>(reasons.size()) < reasonsInTip) {
            reasons << toQt(row.reason);
        }
    }
    if (lines.empty()) {
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
    chkLeaveOut->setVisible(!m_leftOutLines.empty());
    updateImportButton();
}

void ImportCsvDialog::updateImportButton()
{
    const bool agreed = m_leftOutLines.empty() || chkLeaveOut->isChecked();
    btnImport->setEnabled(agreed && !chosenVariables().empty());
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
        const CellStatus status = parseCell(toStd(text), m_table.separator, size);
        if (status != CellStatus::Number || !std::isfinite(size) || size <= 0.0f) {
            m_prompts.message(UserPrompts::Icon::Critical,
                              tr("ERROR"),
                              tr("The census size of population \"%1\" must be a number above "
                                 "0, found \"%2\".")
                                  .arg(toQt(tvkSafeText(name)), text));
            tblPopulations->setCurrentCell(row, CensusColumn);
            tblPopulations->setFocus(Qt::OtherFocusReason);
            return;
        }
        plan.censusSizes[name] = size;
    }

    Result<std::string> text = tavrik::tvkText(m_table, plan);
    if (!text) {
        m_prompts.message(UserPrompts::Icon::Critical, tr("ERROR"), toQt(text.error().message));
        return;
    }
    m_tvkText = std::move(*text);
    accept();
}

} // namespace tavrik
