#include "ui/ChartWindow.h"

#include "chart/ChartPainter.h"
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
constexpr int vtEntry = 1; // of the chart choice; principal coordinates come first

} // namespace

ChartView::ChartView(QWidget* parent)
    : QWidget(parent)
{
    setMinimumSize(360, 360);
    setAutoFillBackground(false);
}

void ChartView::showChart(const ChartLayout* layout)
{
    m_layout = layout;
    m_vtLayout = nullptr;
    update();
}

void ChartView::showChart(const VtChartLayout* layout)
{
    m_layout = nullptr;
    m_vtLayout = layout;
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
    const bool pc = m_layout != nullptr && !m_layout->points.empty();
    const bool vt = m_vtLayout != nullptr && !m_vtLayout->points.empty();
    if (!pc && !vt) {
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, m_emptyText);
        return;
    }
    const ChartSize canvas = pc ? m_layout->canvas : m_vtLayout->canvas;
    const double fit = std::min(width() / canvas.width, height() / canvas.height);
    painter.translate((width() - fit * canvas.width) / 2.0, (height() - fit * canvas.height) / 2.0);
    painter.scale(fit, fit);
    if (pc) {
        paintChart(painter, *m_layout);
    } else {
        paintVtChart(painter, *m_vtLayout);
    }
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
    cboMatrix = new QComboBox(this);
    cboMatrix->setObjectName(QStringLiteral("cboMatrix"));
    btnSavePng = new QPushButton(tr("Save &PNG..."), this);
    btnSavePng->setObjectName(QStringLiteral("btnSavePng"));
    btnSaveSvg = new QPushButton(tr("Save &SVG..."), this);
    btnSaveSvg->setObjectName(QStringLiteral("btnSaveSvg"));
    chartView = new ChartView(this);
    chartView->setObjectName(QStringLiteral("chartView"));

    auto* chartLabel = new QLabel(tr("&Chart:"), this);
    chartLabel->setBuddy(cboChart);
    auto* matrixLabel = new QLabel(tr("&Matrix:"), this);
    matrixLabel->setBuddy(cboMatrix);
    auto* controls = new QHBoxLayout;
    controls->addWidget(chartLabel);
    controls->addWidget(cboChart);
    controls->addWidget(matrixLabel);
    controls->addWidget(cboMatrix);
    controls->addStretch();
    controls->addWidget(btnSavePng);
    controls->addWidget(btnSaveSvg);
    auto* column = new QVBoxLayout(this);
    column->addLayout(controls);
    column->addWidget(chartView, 1);
    new WindowFit(this, QSize(640, 680), QStringLiteral("chart"));

    connect(cboChart, &QComboBox::currentIndexChanged, this, &ChartWindow::rebuildChart);
    connect(cboMatrix, &QComboBox::currentIndexChanged, this, &ChartWindow::rebuildChart);
    connect(btnSavePng, &QPushButton::clicked, this, [this] { save(true); });
    connect(btnSaveSvg, &QPushButton::clicked, this, [this] { save(false); });
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
    const QString kind =
        vtChosen() ? tr("Velbrand-Torvane Chart") : tr("Principal Coordinates Chart");
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
    rebuildChart();
}

bool ChartWindow::scaledChosen() const
{
    return cboMatrix->currentIndex() == scaledEntry;
}

bool ChartWindow::vtChosen() const
{
    return cboChart->currentIndex() == vtEntry;
}

void ChartWindow::rebuildChart()
{
    const bool scaled = scaledChosen();
    const bool vt = vtChosen();
    const std::string title =
        scaled ? "Principal Coordinates of Scaled R Matrix" : "Principal Coordinates of R Matrix";
    // only the chart shown is kept, so that what is saved is what is seen
    m_layout = ChartLayout{};
    m_vtLayout = VtChartLayout{};
    if (!m_runShown) {
        // the results of an earlier data set are not this data set's chart
        chartView->setEmptyText(tr("There is no completed run of this data file: "
                                   "choose Analysis > Run... to draw the chart."));
    } else if (vt) {
        m_vtLayout = layoutVtChart(vtChartInputFrom(m_state.results, std::string(vtChartTitle)),
                                   qtTextMeasure());
        chartView->setEmptyText(tr("No Velbrand-Torvane results to show."));
    } else {
        m_layout = layoutChart(chartInputFrom(m_state.results, scaled, title), qtTextMeasure());
        chartView->setEmptyText(tr("No principal coordinates to show."));
    }
    cboChart->setEnabled(m_runShown);
    // the Velbrand-Torvane analysis has the one R matrix
    cboMatrix->setEnabled(m_runShown && !vt);
    const bool any = !m_layout.points.empty() || !m_vtLayout.points.empty();
    btnSavePng->setEnabled(any);
    btnSaveSvg->setEnabled(any);
    if (vt) {
        chartView->showChart(&m_vtLayout);
    } else {
        chartView->showChart(&m_layout);
    }
    showDataFileInTitle();
}

void ChartWindow::save(bool png)
{
    saveChartFile(m_prompts, png ? btnSavePng : btnSaveSvg, png, [this, png](const QString& path) {
        if (vtChosen()) {
            return png ? renderPng(path, m_vtLayout) : renderSvg(path, m_vtLayout);
        }
        return png ? renderPng(path, m_layout) : renderSvg(path, m_layout);
    });
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
