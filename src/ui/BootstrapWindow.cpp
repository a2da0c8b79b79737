#include "ui/BootstrapWindow.h"

#include "export/MatrixExport.h"
#include "export/ResamplingText.h"
#include "ui/JobControls.h"
#include "ui/QtText.h"
#include "ui/SaveMatDialog.h"
#include "ui/UserPrompts.h"
#include "ui/WindowFit.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <charconv>

namespace tavrik {

namespace {

constexpr int maxReplicates = 1000000;

} // namespace

BootstrapWindow::BootstrapWindow(UserPrompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("BootstrapWindow"));
    setWindowTitle(tr("Bootstrap"));

    spnReplicates = new QSpinBox(this);
    spnReplicates->setObjectName(QStringLiteral("spnReplicates"));
    spnReplicates->setRange(2, maxReplicates);
    spnReplicates->setValue(1000);
    txtSeed = new QLineEdit(QString::number(defaultBootstrapSeed), this);
    txtSeed->setObjectName(QStringLiteral("txtSeed"));
    btnRun = newButton(this, tr("&Run"), "btnRun");
    prgReplicates = newProgressBar(this, "prgReplicates");
    btnCancel = newButton(this, tr("&Cancel"), "btnCancel");
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);
    tblResults = newResultTable(this, "tblResults");
    btnSaveCsv = newButton(this, tr("&Save CSV..."), "btnSaveCsv");

    auto* controls = new QHBoxLayout;
    addLabelled(this, controls, tr("Re&plicates:"), spnReplicates);
    addLabelled(this, controls, tr("S&eed:"), txtSeed);
    controls->addWidget(btnRun);
    controls->addStretch();
    controls->addWidget(btnSaveCsv);
    auto* column = new QVBoxLayout(this);
    column->addLayout(controls);
    column->addLayout(progressRow(prgReplicates, btnCancel));
    column->addWidget(lblSummary);
    column->addWidget(tblResults, 1);
    new WindowFit(this, QSize(760, 560), QStringLiteral("bootstrap"));

    connect(&m_job, &BackgroundJob::stepped, this, &BootstrapWindow::showProgress);
    connect(btnRun, &QPushButton::clicked, this, &BootstrapWindow::start);
    connect(btnCancel, &QPushButton::clicked, this, &BootstrapWindow::cancel);
    connect(btnSaveCsv, &QPushButton::clicked, this, &BootstrapWindow::saveCsv);
    fillResults();
    updateControls();
}

BootstrapWindow::~BootstrapWindow() = default;

void BootstrapWindow::abandon()
{
    if (!isRunning()) {
        return;
    }
    m_job.stop();
    prgReplicates->setValue(0);
    fillResults();
    updateControls();
}

void BootstrapWindow::followRun(std::shared_ptr<const RunBasis> basis, const DataSet& dataSet)
{
    if (basis == m_basis) {
        return;
    }
    m_job.stop();
    m_basis = std::move(basis);
    m_dataSet = dataSet;
    const QString dataName = QFileInfo(toQt(m_dataSet.dataPath)).fileName();
    setWindowTitle(m_basis && !dataName.isEmpty() ? tr("Bootstrap - %1").arg(dataName)
                                                  : tr("Bootstrap"));
    m_result.reset();
    prgReplicates->setValue(0);
    fillResults();
    updateControls();
}

void BootstrapWindow::updateControls()
{
    const bool running = isRunning();
    btnRun->setEnabled(!running && m_basis != nullptr);
    spnReplicates->setEnabled(!running);
    txtSeed->setEnabled(!running);
    btnCancel->setEnabled(running);
    btnSaveCsv->setEnabled(!running && m_result.has_value());
}

void BootstrapWindow::start()
{
    if (isRunning() || !m_basis) {
        return;
    }
    const std::optional<std::uint64_t> seed = seedIn(txtSeed, m_prompts);
    if (!seed) {
        return;
    }
    BootstrapSettings settings;
    settings.replicates = static_cast<std::size_t>(spnReplicates->value());
    settings.seed = *seed;
    m_result.reset();
    prgReplicates->setValue(0);
    m_job.start<BootstrapResult>(
        [basis = m_basis, dataSet = m_dataSet, settings](ProgressSink& progress) {
            Result<RecordTable> records = loadChosenRecords(dataSet, *basis, bootstrapMemoryBudget);
            return records ? runBootstrap(*records, *basis, settings, progress)
                           : Result<BootstrapResult>(records.error());
        },
        [this](Result<BootstrapResult>&& outcome) { finish(std::move(outcome)); },
        "The computer has not enough memory for this bootstrap; choose fewer replicates.");
    fillResults();
    updateControls();
    emit bootstrapStarted();
}

void BootstrapWindow::cancel()
{
    m_job.cancel();
}

void BootstrapWindow::showProgress(quint64 done, quint64 total)
{
    if (isRunning()) {
        showJobStep(prgReplicates, done, total);
    }
}

void BootstrapWindow::finish(Result<BootstrapResult> outcome)
{
    const bool succeeded =
        showJobEnd(prgReplicates, outcome ? nullptr : &outcome.error(), m_prompts, btnRun);
    if (succeeded) {
        m_result = std::move(outcome.value());
    }
    fillResults();
    updateControls();
    emit bootstrapFinished(succeeded);
}

void BootstrapWindow::fillResults()
{
    const QStringList headers{tr("Statistic"),
                              tr("Population"),
                              tr("Population 2"),
                              tr("Estimate"),
                              tr("Analytic se"),
                              tr("Bootstrap se"),
                              tr("2.5 %"),
                              tr("97.5 %")};
    tblResults->clear();
    tblResults->setColumnCount(static_cast<int>(headers.size()));
    tblResults->setHorizontalHeaderLabels(headers);
    tblResults->resizeColumnsToContents(); // the captions whole before any row comes
    if (!m_result) {
        tblResults->setRowCount(0);
        lblSummary->setText(!m_basis ? tr("There is no completed run: choose Analysis > "
                                          "Run... first.")
                            : isRunning()
                                ? tr("Drawing %1 replicates...").arg(spnReplicates->value())
                                : tr("Choose the replicates and the seed, then Run."));
        return;
    }
    const BootstrapResult& r = *m_result;
    QString summary =
        tr("Seed %1: %2 of %3 replicates used").arg(r.seed).arg(r.used).arg(r.replicates);
    if (r.singular > 0) {
        summary += tr("; %1 with a matrix that cannot be inverted").arg(r.singular);
    }
    if (r.failed > 0) {
        summary += tr("; %1 failed (first: %2)").arg(r.failed).arg(toQt(r.firstFailure));
    }
    lblSummary->setText(summary + QLatin1Char('.'));
    tblResults->setRowCount(static_cast<int>(r.statistics.size()));
    for (std::size_t i = 0; i < r.statistics.size(); ++i) {
        const BootstrapStatistic& s = r.statistics[i];
        const QStringList cells{toQt(statisticName(s.kind)),
                                toQt(s.population),
                                toQt(s.population2),
                                tableNumber(s.estimate),
                                tableNumber(s.analyticSe),
                                tableNumber(s.bootstrapSe),
                                tableNumber(s.lower),
                                tableNumber(s.upper)};
        setTableRow(tblResults, static_cast<int>(i), cells, 3);
    }
    tblResults->resizeColumnsToContents();
}

void BootstrapWindow::saveCsv()
{
    if (!m_result) {
        return;
    }
    saveResultText(
        m_prompts, btnSaveCsv, csvFileFilter, QStringLiteral("csv"), bootstrapCsvText(*m_result));
}

} // namespace tavrik
