#include "ui/SweepWindow.h"

#include "chart/ChartPainter.h"
#include "chart/ChartTitles.h"
#include "export/MatrixExport.h"
#include "export/ResamplingText.h"
#include "ui/ChartWindow.h"
#include "ui/JobControls.h"
#include "ui/QtText.h"
#include "ui/SaveMatDialog.h"
#include "ui/UserPrompts.h"
#include "ui/WindowFit.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tavrik {

namespace {

// The range reader speaks to batch users about their option; here the boxes are the input.
QString rangeMessage(const std::string& message)
{
    const std::string lead = "--heritability-sweep \"";
    if (message.starts_with(lead)) {
        const std::size_t end = message.find("\": ");
        if (end != std::string::npos) {
            return toQt(message.substr(end + 3));
        }
    }
    return toQt(message);
}

} // namespace

SweepWindow::SweepWindow(UserPrompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("SweepWindow"));
    setWindowTitle(tr("Heritability Sensitivity"));

    const auto edit = [this](const char* name, const QString& text) {
        auto* box = new QLineEdit(text, this);
        box->setObjectName(QString::fromLatin1(name));
        box->setMaximumWidth(70);
        return box;
    };
    txtFrom = edit("txtFrom", QStringLiteral("0.2"));
    txtTo = edit("txtTo", QStringLiteral("1"));
    txtStep = edit("txtStep", QStringLiteral("0.05"));
    btnCompute = newButton(this, tr("&Compute"), "btnCompute");
    btnSaveCsv = newButton(this, tr("Save C&SV..."), "btnSaveCsv");
    btnSavePng = newButton(this, tr("Save &PNG..."), "btnSavePng");
    btnSaveSvg = newButton(this, tr("Save S&VG..."), "btnSaveSvg");
    tblSweep = newResultTable(this, "tblSweep");
    chartView = new ChartView(QSize(360, 260), this);
    chartView->setObjectName(QStringLiteral("chartView"));
    chartView->setEmptyText(tr("There is no completed run: choose Analysis > Run... first."));

    auto* controls = new QHBoxLayout;
    addLabelled(this, controls, tr("Heritability &from:"), txtFrom);
    addLabelled(this, controls, tr("&to:"), txtTo);
    addLabelled(this, controls, tr("st&ep:"), txtStep);
    controls->addWidget(btnCompute);
    controls->addStretch();
    controls->addWidget(btnSaveCsv);
    controls->addWidget(btnSavePng);
    controls->addWidget(btnSaveSvg);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(tblSweep);
    split->addWidget(chartView);
    auto* column = new QVBoxLayout(this);
    column->addLayout(controls);
    column->addWidget(split, 1);
    new WindowFit(this, QSize(760, 720), QStringLiteral("sweep"));

    connect(btnCompute, &QPushButton::clicked, this, &SweepWindow::compute);
    connect(btnSaveCsv, &QPushButton::clicked, this, &SweepWindow::saveCsv);
    connect(btnSavePng, &QPushButton::clicked, this, [this] { saveChart(true); });
    connect(btnSaveSvg, &QPushButton::clicked, this, [this] { saveChart(false); });
    clear();
}

void SweepWindow::followRun(std::shared_ptr<const RunBasis> basis, const QString& dataName)
{
    setWindowTitle(dataName.isEmpty() ? tr("Heritability Sensitivity")
                                      : tr("Heritability Sensitivity - %1").arg(dataName));
    if (basis == m_basis) {
        return;
    }
    m_job.stop();
    m_basis = std::move(basis);
    clear();
    if (m_basis) {
        compute();
    }
}

void SweepWindow::clear()
{
    m_table = {};
    fillTable();
    chartView->showChart(nullptr);
    btnCompute->setEnabled(m_basis != nullptr);
    btnSaveCsv->setEnabled(false);
    btnSavePng->setEnabled(false);
    btnSaveSvg->setEnabled(false);
}

void SweepWindow::compute()
{
    if (!m_basis) {
        return;
    }
    const QString rangeText = txtFrom->text().trimmed() + QLatin1Char(':') +
                              txtTo->text().trimmed() + QLatin1Char(':') +
                              txtStep->text().trimmed();
    const Result<std::vector<SweepPoint>> points = heritabilityRange(toStd(rangeText));
    if (!points) {
        // the box found wrong is named, and has the focus after the message
        const std::string& part = points.error().field;
        QLineEdit* box = part == "FROM" ? txtFrom : part == "TO" ? txtTo : txtStep;
        const QString boxName = part == "FROM" ? tr("from") : part == "TO" ? tr("to") : tr("step");
        const QString reason = rangeMessage(points.error().message);
        m_prompts.message(part.empty() ? static_cast<QWidget*>(btnCompute) : box,
                          UserPrompts::Icon::Critical,
                          tr("Error"),
                          part.empty() ? reason
                                       : tr("The box \"%1\" is wrong: %2").arg(boxName, reason));
        return;
    }
    btnCompute->setEnabled(false);
    m_job.start<SweepTable>(
        [basis = m_basis, points = *points](ProgressSink&) {
            return heritabilitySweep(*basis, points);
        },
        [this](Result<SweepTable>&& sweep) { finish(std::move(sweep)); },
        "The computer has not enough memory for this range; choose a larger step.");
}

void SweepWindow::finish(Result<SweepTable> sweep)
{
    btnCompute->setEnabled(m_basis != nullptr);
    if (!sweep) {
        m_prompts.message(
            btnCompute, UserPrompts::Icon::Critical, tr("Error"), toQt(sweep.error().message));
        emit computed(false);
        return;
    }
    m_table = std::move(*sweep);
    fillTable();
    m_layout = layoutSweepChart(sweepChartInputFrom(m_table, std::string(sweepChartTitle)),
                                qtTextMeasure());
    chartView->showChart(&m_layout);
    btnSaveCsv->setEnabled(true);
    btnSavePng->setEnabled(true);
    btnSaveSvg->setEnabled(true);
    emit computed(true);
}

void SweepWindow::fillTable()
{
    // the CSV file's columns and numbers, so what is seen is what is saved
    QStringList headers{tr("Heritability"), tr("Fst"), tr("Unbiased Fst"), tr("Fst se")};
    for (const std::string& name : m_table.popNames) {
        headers << QStringLiteral("r[ii] %1").arg(toQt(name));
    }
    tblSweep->clear();
    tblSweep->setColumnCount(static_cast<int>(headers.size()));
    tblSweep->setHorizontalHeaderLabels(headers);
    tblSweep->setRowCount(static_cast<int>(m_table.rows.size()));
    for (std::size_t r = 0; r < m_table.rows.size(); ++r) {
        const SweepRow& row = m_table.rows[r];
        QStringList cells{toQt(row.point.text),
                          tableNumber(row.fst),
                          tableNumber(row.fstUnbiased),
                          tableNumber(row.fstSe)};
        for (const double v : row.rDiagonal) {
            cells << tableNumber(v);
        }
        setTableRow(tblSweep, static_cast<int>(r), cells, 0);
    }
    tblSweep->resizeColumnsToContents();
}

void SweepWindow::saveCsv()
{
    saveResultText(
        m_prompts, btnSaveCsv, csvFileFilter, QStringLiteral("csv"), sweepCsvText(m_table));
}

void SweepWindow::saveChart(bool png)
{
    saveChartLayout(m_prompts, png ? btnSavePng : btnSaveSvg, png, m_layout);
}

} // namespace tavrik
