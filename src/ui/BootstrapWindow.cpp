#include "ui/BootstrapWindow.h"

#include "export/MatrixExport.h"
#include "export/ResamplingText.h"
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

QString statisticName(StatisticKind kind)
{
    switch (kind) {
    case StatisticKind::Fst:
        return QStringLiteral("Fst");
    case StatisticKind::FstUnbiased:
        return QStringLiteral("Unbiased Fst");
    case StatisticKind::RDiagonal:
        return QStringLiteral("r(ii)");
    case StatisticKind::DSquare:
        return QStringLiteral("D-square");
    }
    return {};
}

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
    btnRun = new QPushButton(tr("&Run"), this);
    btnRun->setObjectName(QStringLiteral("btnRun"));
    prgReplicates = new QProgressBar(this);
    prgReplicates->setObjectName(QStringLiteral("prgReplicates"));
    prgReplicates->setRange(0, 100);
    prgReplicates->setValue(0);
    btnCancel = new QPushButton(tr("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);
    tblResults = new QTableWidget(this);
    tblResults->setObjectName(QStringLiteral("tblResults"));
    tblResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblResults->verticalHeader()->setVisible(false);
    btnSaveCsv = new QPushButton(tr("&Save CSV..."), this);
    btnSaveCsv->setObjectName(QStringLiteral("btnSaveCsv"));

    auto* replicatesLabel = new QLabel(tr("Re&plicates:"), this);
    replicatesLabel->setBuddy(spnReplicates);
    auto* seedLabel = new QLabel(tr("S&eed:"), this);
    seedLabel->setBuddy(txtSeed);
    auto* controls = new QHBoxLayout;
    controls->addWidget(replicatesLabel);
    controls->addWidget(spnReplicates);
    controls->addWidget(seedLabel);
    controls->addWidget(txtSeed);
    controls->addWidget(btnRun);
    controls->addStretch();
    controls->addWidget(btnSaveCsv);
    auto* progress = new QHBoxLayout;
    progress->addWidget(prgReplicates, 1);
    progress->addWidget(btnCancel);
    auto* column = new QVBoxLayout(this);
    column->addLayout(controls);
    column->addLayout(progress);
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
    const std::string seedText = toStd(txtSeed->text().trimmed());
    std::uint64_t seed = 0;
    const auto [end, ec] =
        std::from_chars(seedText.data(), seedText.data() + seedText.size(), seed);
    if (seedText.empty() || ec != std::errc{} || end != seedText.data() + seedText.size()) {
        m_prompts.message(
            txtSeed,
            UserPrompts::Icon::Critical,
            tr("Error"),
            tr("The seed \"%1\" is not a whole number from 0 to 18446744073709551615.")
                .arg(txtSeed->text()));
        return;
    }
    BootstrapSettings settings;
    settings.replicates = static_cast<std::size_t>(spnReplicates->value());
    settings.seed = seed;
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
}

void BootstrapWindow::cancel()
{
    m_job.cancel();
}

void BootstrapWindow::showProgress(quint64 done, quint64 total)
{
    if (isRunning() && total > 0) {
        prgReplicates->setValue(static_cast<int>(done * 100 / total));
    }
}

void BootstrapWindow::finish(Result<BootstrapResult> outcome)
{
    const bool succeeded = outcome.ok();
    if (succeeded) {
        m_result = std::move(outcome.value());
        prgReplicates->setValue(100);
    } else {
        prgReplicates->setValue(0);
        if (outcome.error().kind != ErrorKind::Cancelled) {
            m_prompts.message(
                btnRun, UserPrompts::Icon::Critical, tr("Error"), toQt(outcome.error().message));
        }
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
        const QStringList cells{statisticName(s.kind),
                                toQt(s.population),
                                toQt(s.population2),
                                tableNumber(s.estimate),
                                tableNumber(s.analyticSe),
                                tableNumber(s.bootstrapSe),
                                tableNumber(s.lower),
                                tableNumber(s.upper)};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c >= 3) {
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
            tblResults->setItem(static_cast<int>(i), c, item);
        }
    }
    tblResults->resizeColumnsToContents();
}

void BootstrapWindow::saveCsv()
{
    if (!m_result) {
        return;
    }
    const std::optional<QString> chosen = m_prompts.saveFile({{qtFileFilter(csvFileFilter)},
                                                              {},
                                                              QStringLiteral("csv"),
                                                              QStringLiteral("results"),
                                                              btnSaveCsv});
    if (!chosen) {
        return;
    }
    if (writeExportFile(m_prompts, *chosen, bootstrapCsvText(*m_result), btnSaveCsv)) {
        m_prompts.message(
            btnSaveCsv, UserPrompts::Icon::None, tr("TAVRIK"), tr("File has been saved."));
    }
}

} // namespace tavrik
