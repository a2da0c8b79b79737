#include "ui/MantelWindow.h"

#include "chart/ChartPainter.h"
#include "chart/ChartTitles.h"
#include "export/MantelText.h"
#include "export/MatrixExport.h"
#include "export/ResamplingText.h"
#include "ui/ChartWindow.h"
#include "ui/JobControls.h"
#include "ui/QtText.h"
#include "ui/SaveMatDialog.h"
#include "ui/UserPrompts.h"
#include "ui/WindowFit.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>

namespace tavrik {

namespace {

constexpr int spinLimit =
    static_cast<int>(std::min<std::size_t>(maxMantelPermutations, 2147483647));

} // namespace

MantelWindow::MantelWindow(UserPrompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("MantelWindow"));
    setWindowTitle(tr("Mantel Test"));
    createControls();
    layOutControls();
    new WindowFit(this, QSize(760, 760), QStringLiteral("mantel"));

    connect(&m_job, &BackgroundJob::stepped, this, &MantelWindow::showProgress);
    connect(btnBrowse, &QPushButton::clicked, this, [this] { browse(txtGeography, btnBrowse); });
    connect(btnBrowseControl, &QPushButton::clicked, this, [this] {
        browse(txtControl, btnBrowseControl);
    });
    connect(btnRun, &QPushButton::clicked, this, &MantelWindow::start);
    connect(btnCancel, &QPushButton::clicked, this, &MantelWindow::cancel);
    connect(btnSaveText, &QPushButton::clicked, this, &MantelWindow::saveText);
    connect(btnSavePng, &QPushButton::clicked, this, [this] { saveChart(true); });
    connect(btnSaveSvg, &QPushButton::clicked, this, [this] { saveChart(false); });
    connect(cboChartMatrix, &QComboBox::currentIndexChanged, this, &MantelWindow::drawChart);
    fillResults();
    updateControls();
}

void MantelWindow::createControls()
{
    txtGeography = new QLineEdit(this);
    txtGeography->setObjectName(QStringLiteral("txtGeography"));
    txtGeography->setPlaceholderText(tr("population,latitude,longitude or a distance matrix"));
    btnBrowse = newButton(this, tr("&Browse..."), "btnBrowse");
    txtControl = new QLineEdit(this);
    txtControl->setObjectName(QStringLiteral("txtControl"));
    txtControl->setPlaceholderText(
        tr("optional: distances held constant (time, language...), in the same forms"));
    btnBrowseControl = newButton(this, tr("B&rowse..."), "btnBrowseControl");
    spnPermutations = new QSpinBox(this);
    spnPermutations->setObjectName(QStringLiteral("spnPermutations"));
    spnPermutations->setRange(1, spinLimit);
    spnPermutations->setValue(static_cast<int>(defaultMantelPermutations));
    txtSeed = new QLineEdit(QString::number(defaultBootstrapSeed), this);
    txtSeed->setObjectName(QStringLiteral("txtSeed"));
    cboMethod = new QComboBox(this);
    cboMethod->setObjectName(QStringLiteral("cboMethod"));
    cboMethod->addItems({tr("Pearson"), tr("Spearman")});
    btnRun = newButton(this, tr("&Run"), "btnRun");
    prgPermutations = newProgressBar(this, "prgPermutations");
    btnCancel = newButton(this, tr("&Cancel"), "btnCancel");
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);
    tblResults = newResultTable(this, "tblResults");
    cboChartMatrix = new QComboBox(this);
    cboChartMatrix->setObjectName(QStringLiteral("cboChartMatrix"));
    chartView = new ChartView(QSize(360, 280), this);
    chartView->setObjectName(QStringLiteral("chartView"));
    btnSaveText = newButton(this, tr("Save &Text..."), "btnSaveText");
    btnSavePng = newButton(this, tr("Save &PNG..."), "btnSavePng");
    btnSaveSvg = newButton(this, tr("Save S&VG..."), "btnSaveSvg");
}

void MantelWindow::layOutControls()
{
    auto* fileRow = new QHBoxLayout;
    addLabelled(this, fileRow, tr("&Geography:"), txtGeography);
    fileRow->addWidget(btnBrowse);
    auto* controlRow = new QHBoxLayout;
    addLabelled(this, controlRow, tr("C&ontrol for:"), txtControl);
    controlRow->addWidget(btnBrowseControl);
    auto* controls = new QHBoxLayout;
    addLabelled(this, controls, tr("&Permutations:"), spnPermutations);
    addLabelled(this, controls, tr("S&eed:"), txtSeed);
    addLabelled(this, controls, tr("&Method:"), cboMethod);
    controls->addWidget(btnRun);
    controls->addStretch();
    auto* chartRow = new QHBoxLayout;
    addLabelled(this, chartRow, tr("C&hart of:"), cboChartMatrix);
    chartRow->addStretch();
    chartRow->addWidget(btnSaveText);
    chartRow->addWidget(btnSavePng);
    chartRow->addWidget(btnSaveSvg);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(tblResults);
    split->addWidget(chartView);
    split->setStretchFactor(1, 3);
    auto* column = new QVBoxLayout(this);
    column->addLayout(fileRow);
    column->addLayout(controlRow);
    column->addLayout(controls);
    column->addLayout(progressRow(prgPermutations, btnCancel));
    column->addWidget(lblSummary);
    column->addLayout(chartRow);
    column->addWidget(split, 1);
}

MantelWindow::~MantelWindow() = default;

void MantelWindow::abandon()
{
    if (!isRunning()) {
        return;
    }
    m_job.stop();
    prgPermutations->setValue(0);
    fillResults();
    updateControls();
}

void MantelWindow::followRun(std::shared_ptr<const RunBasis> basis,
                             const AnalysisResults& results,
                             bool scaled)
{
    if (basis == m_basis) {
        return;
    }
    m_job.stop();
    m_basis = std::move(basis);
    m_results = m_basis ? std::make_shared<const AnalysisResults>(results) : nullptr;
    m_scaled = scaled;
    m_result.reset();
    prgPermutations->setValue(0);
    fillResults();
    updateControls();
}

void MantelWindow::updateControls()
{
    const bool running = isRunning();
    btnRun->setEnabled(!running && m_basis != nullptr);
    for (QWidget* w : std::initializer_list<QWidget*>{txtGeography,
                                                      btnBrowse,
                                                      txtControl,
                                                      btnBrowseControl,
                                                      spnPermutations,
                                                      txtSeed,
                                                      cboMethod}) {
        w->setEnabled(!running);
    }
    btnCancel->setEnabled(running);
    const bool done = !running && m_result.has_value();
    for (QWidget* w :
         std::initializer_list<QWidget*>{cboChartMatrix, btnSaveText, btnSavePng, btnSaveSvg}) {
        w->setEnabled(done);
    }
}

void MantelWindow::browse(QLineEdit* box, QPushButton* button)
{
    const std::optional<QString> chosen =
        m_prompts.openFile({{qtFileFilter(csvFileFilter), tr("All Files (*)")},
                            box->text(),
                            {},
                            QStringLiteral("geography"),
                            button});
    if (chosen) {
        box->setText(*chosen);
    }
}

void MantelWindow::start()
{
    if (isRunning() || !m_basis) {
        return;
    }
    const QString file = txtGeography->text().trimmed();
    if (file.isEmpty()) {
        m_prompts.message(txtGeography,
                          UserPrompts::Icon::Critical,
                          tr("Error"),
                          tr("Choose the geography file: population, latitude and longitude, "
                             "or a square matrix of distances."));
        return;
    }
    const std::optional<std::uint64_t> seed = seedIn(txtSeed, m_prompts);
    if (!seed) {
        return;
    }
    MantelSettings settings;
    settings.permutations = static_cast<std::size_t>(spnPermutations->value());
    settings.seed = *seed;
    settings.method =
        cboMethod->currentIndex() == 1 ? MantelMethod::Spearman : MantelMethod::Pearson;
    m_result.reset();
    prgPermutations->setValue(0);
    const QString controlFile = txtControl->text().trimmed();
    std::optional<std::filesystem::path> controlPath;
    if (!controlFile.isEmpty()) {
        controlPath = std::filesystem::path(controlFile.toStdU16String());
    }
    m_job.start<MantelResult>(
        [path = std::filesystem::path(file.toStdU16String()),
         controlPath,
         results = m_results,
         scaled = m_scaled,
         settings](ProgressSink& progress) -> Result<MantelResult> {
            Result<Geography> geo = readGeography(path);
            if (!geo) {
                return geo.error();
            }
            std::optional<Geography> control;
            if (controlPath) {
                Result<Geography> read = readGeography(*controlPath);
                if (!read) {
                    return read.error();
                }
                control = std::move(*read);
            }
            Result<MantelInput> input =
                mantelInputFrom(*results, scaled, *geo, control ? &*control : nullptr);
            return input ? runMantel(*input, settings, progress)
                         : Result<MantelResult>(input.error());
        },
        [this](Result<MantelResult>&& outcome) { finish(std::move(outcome)); },
        "The computer has not enough memory for this Mantel test.");
    fillResults();
    updateControls();
}

void MantelWindow::cancel()
{
    m_job.cancel();
}

void MantelWindow::showProgress(quint64 done, quint64 total)
{
    if (isRunning()) {
        showJobStep(prgPermutations, done, total);
    }
}

void MantelWindow::finish(Result<MantelResult> outcome)
{
    const bool succeeded =
        showJobEnd(prgPermutations, outcome ? nullptr : &outcome.error(), m_prompts, btnRun);
    if (succeeded) {
        m_result = std::move(outcome.value());
    }
    fillResults();
    updateControls();
    emit mantelFinished(succeeded);
}

void MantelWindow::fillResults()
{
    const bool partial = m_result && !m_result->controlName.empty();
    QStringList headers{tr("Matrix"), tr("r"), tr("p"), tr("Permutations reaching r")};
    if (partial) {
        headers << tr("r with control") << tr("Partial r") << tr("Partial p")
                << tr("Permutations reaching partial r");
    }
    tblResults->clear();
    tblResults->setColumnCount(static_cast<int>(headers.size()));
    tblResults->setHorizontalHeaderLabels(headers);
    tblResults->resizeColumnsToContents(); // the captions whole before any row comes
    {
        const QSignalBlocker quiet(cboChartMatrix);
        cboChartMatrix->clear();
    }
    if (!m_result) {
        tblResults->setRowCount(0);
        lblSummary->setText(!m_basis ? tr("There is no completed run: choose Analysis > Run... "
                                          "first.")
                            : isRunning()
                                ? tr("Drawing %1 permutations...").arg(spnPermutations->value())
                                : tr("Choose the geography file, the permutations and the "
                                     "seed, then Run."));
        drawChart();
        return;
    }
    const MantelResult& r = *m_result;
    const auto distancesOf = [](bool greatCircle, const std::string& fileName) {
        return greatCircle ? tr("great-circle distances (km) from %1").arg(toQt(fileName))
                           : tr("the distances of %1").arg(toQt(fileName));
    };
    QString summary = tr("%1 correlation with %2; %3 permutations, seed %4; p = (permutations "
                         "reaching r + 1) / (%3 + 1), one-sided.")
                          .arg(toQt(mantelMethodName(r.method)))
                          .arg(distancesOf(r.greatCircle, r.geographyName))
                          .arg(r.permutations)
                          .arg(r.seed);
    if (partial) {
        summary += QLatin1Char('\n') +
                   tr("Partial test: %1 held constant, r(geographic, control) = %2; the same "
                      "permutations applied to the populations of each matrix.")
                       .arg(distancesOf(r.controlGreatCircle, r.controlName))
                       .arg(tableNumber(r.rGeographicControl));
    }
    for (const std::string& note : r.notes) {
        summary += QLatin1Char('\n') + toQt(note);
    }
    lblSummary->setText(summary);
    tblResults->setRowCount(static_cast<int>(r.matrices.size()));
    for (std::size_t i = 0; i < r.matrices.size(); ++i) {
        const MantelMatrixResult& m = r.matrices[i];
        QStringList cells{
            toQt(m.name), tableNumber(m.r), tableNumber(m.p), QString::number(m.atLeast)};
        if (m.partial) {
            cells << tableNumber(m.partial->rControl) << tableNumber(m.partial->r)
                  << tableNumber(m.partial->p) << QString::number(m.partial->atLeast);
        }
        setTableRow(tblResults, static_cast<int>(i), cells, 1);
    }
    tblResults->resizeColumnsToContents();
    {
        const QSignalBlocker quiet(cboChartMatrix);
        for (const MantelMatrixResult& m : r.matrices) {
            cboChartMatrix->addItem(toQt(m.name));
        }
        cboChartMatrix->setCurrentIndex(0);
    }
    drawChart();
}

void MantelWindow::drawChart()
{
    const int m = cboChartMatrix->currentIndex();
    if (!m_result || m < 0) {
        chartView->showChart(nullptr);
        return;
    }
    const std::string title =
        mantelChartTitle(m_result->matrices[static_cast<std::size_t>(m)].name);
    m_layout = layoutScatterChart(mantelChartInput(*m_result, static_cast<std::size_t>(m), title),
                                  qtTextMeasure());
    chartView->showChart(&m_layout);
}

void MantelWindow::saveText()
{
    if (!m_result) {
        return;
    }
    saveResultText(
        m_prompts, btnSaveText, textFileFilter, QStringLiteral("txt"), mantelOutputText(*m_result));
}

void MantelWindow::saveChart(bool png)
{
    if (!m_result) {
        return;
    }
    saveChartLayout(m_prompts, png ? btnSavePng : btnSaveSvg, png, m_layout);
}

} // namespace tavrik
