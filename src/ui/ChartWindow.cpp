#include "ui/ChartWindow.h"

#include "chart/ChartPainter.h"
#include "chart/ChartTitles.h"
#include "ui/QtText.h"
#include "ui/UserPrompts.h"
#include "ui/WindowFit.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tavrik {

namespace {

constexpr int rMatrixEntry = 0;
constexpr int scaledEntry = 1;
// of the chart choice; principal coordinates come first
constexpr int vtEntry = 1;
constexpr int treeEntry = 2;
constexpr int midpointEntry = 0; // of the root choice; the populations follow in their order

} // namespace

ChartView::ChartView(QSize minimum, QWidget* parent)
    : QWidget(parent)
{
    setMinimumSize(minimum);
    setAutoFillBackground(false);
}

void ChartView::showChart(const ChartLayout* layout)
{
    if (layout == nullptr || layout->points.empty()) {
        return showPainted({}, nullptr);
    }
    showPainted(layout->canvas, [layout](QPainter& painter) { paintChart(painter, *layout); });
}

void ChartView::showChart(const VtChartLayout* layout)
{
    if (layout == nullptr || layout->points.empty()) {
        return showPainted({}, nullptr);
    }
    showPainted(layout->canvas, [layout](QPainter& painter) { paintVtChart(painter, *layout); });
}

void ChartView::showChart(const SweepChartLayout* layout)
{
    if (layout == nullptr) {
        return showPainted({}, nullptr);
    }
    showPainted(layout->canvas, [layout](QPainter& painter) { paintSweepChart(painter, *layout); });
}

void ChartView::showChart(const ScatterChartLayout* layout)
{
    if (layout == nullptr) {
        return showPainted({}, nullptr);
    }
    showPainted(layout->canvas,
                [layout](QPainter& painter) { paintScatterChart(painter, *layout); });
}

void ChartView::showChart(const TreeChartLayout* layout)
{
    if (layout == nullptr || layout->tips.empty()) {
        return showPainted({}, nullptr);
    }
    showPainted(layout->canvas, [layout](QPainter& painter) { paintTreeChart(painter, *layout); });
}

void ChartView::showPainted(ChartSize canvas, std::function<void(QPainter&)> paint)
{
    m_canvas = canvas;
    m_paint = std::move(paint);
    update();
}

void ChartView::setEmptyText(const QString& text)
{
    m_emptyText = text;
    update();
}

void ChartView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (!m_paint) {
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, m_emptyText);
        return;
    }
    fitChartToView(painter, *this, m_canvas);
    m_paint(painter);
}

ChartWindow::ChartWindow(const ProgramState& state, UserPrompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_state(state)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("ChartWindow"));
    setWindowTitle(tr("Principal Coordinates Chart"));

    cboChart = new QComboBox(this);
    cboChart->setObjectName(QStringLiteral("cboChart"));
    cboChart->addItem(tr("Principal coordinates"));
    cboChart->addItem(tr("Velbrand-Torvane residuals"));
    cboChart->addItem(tr("Tree"));
    cboMatrix = new QComboBox(this);
    cboMatrix->setObjectName(QStringLiteral("cboMatrix"));
    cboTreeRoot = new QComboBox(this);
    cboTreeRoot->setObjectName(QStringLiteral("cboTreeRoot"));
    btnSavePng = new QPushButton(tr("Save &PNG..."), this);
    btnSavePng->setObjectName(QStringLiteral("btnSavePng"));
    btnSaveSvg = new QPushButton(tr("Save &SVG..."), this);
    btnSaveSvg->setObjectName(QStringLiteral("btnSaveSvg"));
    chartView = new ChartView(QSize(360, 360), this);
    chartView->setObjectName(QStringLiteral("chartView"));

    auto* chartLabel = new QLabel(tr("&Chart:"), this);
    chartLabel->setBuddy(cboChart);
    auto* matrixLabel = new QLabel(tr("&Matrix:"), this);
    matrixLabel->setBuddy(cboMatrix);
    lblTreeRoot = new QLabel(tr("R&oot:"), this);
    lblTreeRoot->setObjectName(QStringLiteral("lblTreeRoot"));
    lblTreeRoot->setBuddy(cboTreeRoot);
    auto* controls = new QHBoxLayout;
    controls->addWidget(chartLabel);
    controls->addWidget(cboChart);
    controls->addWidget(matrixLabel);
    controls->addWidget(cboMatrix);
    controls->addWidget(lblTreeRoot);
    controls->addWidget(cboTreeRoot);
    controls->addStretch();
    controls->addWidget(btnSavePng);
    controls->addWidget(btnSaveSvg);
    auto* column = new QVBoxLayout(this);
    column->addLayout(controls);
    column->addWidget(chartView, 1);
    new WindowFit(this, QSize(640, 680), QStringLiteral("chart"));

    connect(cboChart, &QComboBox::currentIndexChanged, this, &ChartWindow::rebuildChart);
    connect(cboMatrix, &QComboBox::currentIndexChanged, this, &ChartWindow::rebuildChart);
    connect(cboTreeRoot, &QComboBox::currentIndexChanged, this, &ChartWindow::rebuildChart);
    connect(btnSavePng, &QPushButton::clicked, this, [this] { save(true); });
    connect(btnSaveSvg, &QPushButton::clicked, this, [this] { save(false); });
    refresh();
}

void ChartWindow::setBootstrapSource(std::function<RunBootstrap()> source)
{
    m_bootstrapSource = std::move(source);
    refresh();
}

void ChartWindow::followRun(bool runShown)
{
    if (runShown != m_runShown) {
        m_runShown = runShown;
        refresh();
    }
    showDataFileInTitle();
}

void ChartWindow::showDataFileInTitle()
{
    const QString dataName = QFileInfo(toQt(m_state.dataSet.dataPath)).fileName();
    const QString kind = vtChosen()     ? tr("Velbrand-Torvane Chart")
                         : treeChosen() ? tr("Tree Chart")
                                        : tr("Principal Coordinates Chart");
    setWindowTitle(dataName.isEmpty() ? kind : tr("%1 - %2").arg(kind, dataName));
}

void ChartWindow::refresh()
{
    const bool wasScaled = scaledChosen();
    {
        const QSignalBlocker quiet(cboMatrix);
        cboMatrix->clear();
        cboMatrix->addItem(tr("R matrix"));
        if (m_state.matrixCount == 2) {
            cboMatrix->addItem(tr("Scaled R matrix"));
        }
        cboMatrix->setCurrentIndex(wasScaled && cboMatrix->count() > scaledEntry ? scaledEntry
                                                                                 : rMatrixEntry);
    }
    fillTreeRoots();
    m_tree.reset();
    rebuildChart();
}

// Midpoint, then the run's populations; the population chosen stays chosen while the run has it.
void ChartWindow::fillTreeRoots()
{
    const QString wasRoot =
        cboTreeRoot->currentIndex() > midpointEntry ? cboTreeRoot->currentText() : QString();
    const QSignalBlocker quiet(cboTreeRoot);
    cboTreeRoot->clear();
    cboTreeRoot->addItem(tr("Midpoint"));
    for (const std::string& name : m_state.results.populationNames) {
        cboTreeRoot->addItem(toQt(name));
    }
    const int found = wasRoot.isEmpty() ? -1 : cboTreeRoot->findText(wasRoot, Qt::MatchExactly);
    cboTreeRoot->setCurrentIndex(found > midpointEntry ? found : midpointEntry);
}

bool ChartWindow::scaledChosen() const
{
    return cboMatrix->currentIndex() == scaledEntry;
}

bool ChartWindow::vtChosen() const
{
    return cboChart->currentIndex() == vtEntry;
}

bool ChartWindow::treeChosen() const
{
    return cboChart->currentIndex() == treeEntry;
}

void ChartWindow::rebuildChart()
{
    const bool scaled = scaledChosen();
    const bool vt = vtChosen();
    const bool tree = treeChosen();
    // only the chart shown is kept, so that what is saved is what is seen
    m_layout = ChartLayout{};
    m_vtLayout = VtChartLayout{};
    m_treeLayout = TreeChartLayout{};
    if (!m_runShown) {
        // the results of an earlier data set are not this data set's chart
        chartView->setEmptyText(tr("There is no completed run of this data file: "
                                   "choose Analysis > Run... to draw the chart."));
    } else if (vt) {
        m_vtLayout =
            layoutVtChart(vtChartInputFrom(m_state.results, chartTitle(ChartKind::VelbrandTorvane)),
                          qtTextMeasure());
        chartView->setEmptyText(tr("No Velbrand-Torvane results to show."));
    } else if (tree) {
        chartView->setEmptyText(layoutTree(scaled));
    } else {
        const ChartKind kind =
            scaled ? ChartKind::ScaledPrincipalCoords : ChartKind::PrincipalCoords;
        m_layout =
            layoutChart(chartInputFrom(m_state.results, scaled, chartTitle(kind)), qtTextMeasure());
        chartView->setEmptyText(tr("No principal coordinates to show."));
    }
    cboChart->setEnabled(m_runShown);
    // the Velbrand-Torvane analysis has the one R matrix
    cboMatrix->setEnabled(m_runShown && !vt);
    lblTreeRoot->setVisible(tree);
    cboTreeRoot->setVisible(tree);
    cboTreeRoot->setEnabled(m_runShown);
    const bool any =
        !m_layout.points.empty() || !m_vtLayout.points.empty() || !m_treeLayout.tips.empty();
    btnSavePng->setEnabled(any);
    btnSaveSvg->setEnabled(any);
    if (vt) {
        chartView->showChart(&m_vtLayout);
    } else if (tree) {
        chartView->showChart(&m_treeLayout);
    } else {
        chartView->showChart(&m_layout);
    }
    showDataFileInTitle();
}

QString ChartWindow::layoutTree(bool scaled)
{
    if (!m_tree || m_treeScaled != scaled) {
        const RunBootstrap bootstrap = m_bootstrapSource ? m_bootstrapSource() : RunBootstrap{};
        m_tree.emplace(
            treeOfRun(m_state.results, scaled, bootstrap.result, bootstrap.biasCorrection));
        m_treeScaled = scaled;
    }
    if (!*m_tree) {
        return toQt(m_tree->error().message);
    }
    const TreeRun& run = **m_tree;
    const int root = cboTreeRoot->currentIndex();
    const std::optional<std::size_t> rootTip =
        root > midpointEntry ? std::optional(static_cast<std::size_t>(root - 1)) : std::nullopt;
    m_treeLayout = layoutTreeChart({run.tree, rootTip, std::string(treeChartTitle), run.matrixName},
                                   qtTextMeasure());
    return tr("No tree to show.");
}

void ChartWindow::save(bool png)
{
    QPushButton* button = png ? btnSavePng : btnSaveSvg;
    if (vtChosen()) {
        saveChartLayout(m_prompts, button, png, m_vtLayout);
    } else if (treeChosen()) {
        saveChartLayout(m_prompts, button, png, m_treeLayout);
    } else {
        saveChartLayout(m_prompts, button, png, m_layout);
    }
}

void fitChartToView(QPainter& painter, const QWidget& view, ChartSize canvas)
{
    const double fit = std::min(view.width() / canvas.width, view.height() / canvas.height);
    painter.translate((view.width() - fit * canvas.width) / 2.0,
                      (view.height() - fit * canvas.height) / 2.0);
    painter.scale(fit, fit);
}

void saveChartFile(UserPrompts& prompts,
                   QPushButton* button,
                   bool png,
                   const std::function<QString(const QString& path)>& render)
{
    // The dialog adds the suffix to a bare name before it asks about overwriting, so the
    // question is about the file that is written.
    const std::optional<QString> chosen =
        prompts.saveFile({{png ? QObject::tr("PNG Images (*.png *.PNG)")
                               : QObject::tr("SVG Drawings (*.svg *.SVG)")},
                          {},
                          png ? QStringLiteral("png") : QStringLiteral("svg"),
                          QStringLiteral("chart"),
                          button});
    if (!chosen) {
        return;
    }
    if (const QString error = render(*chosen); !error.isEmpty()) {
        prompts.message(button, UserPrompts::Icon::Critical, QObject::tr("Error"), error);
        return;
    }
    prompts.message(button,
                    UserPrompts::Icon::None,
                    QObject::tr("TAVRIK"),
                    QObject::tr("File has been saved."));
}

} // namespace tavrik
