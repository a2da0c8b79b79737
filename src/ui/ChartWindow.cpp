#include "ui/ChartWindow.h"

#include "ui/QtText.h"
#include "ui/UserPrompts.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "chart/ChartPainter.h"

namespace tavrik {

namespace {

constexpr int rMatrixEntry = 0;
constexpr int scaledEntry = 1;

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
    if (m_layout == nullptr || m_layout->points.empty()) {
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, m_emptyText);
        return;
    }
    const double fit =
        std::min(width() / m_layout->canvas.width, height() / m_layout->canvas.height);
    painter.translate((width() - fit * m_layout->canvas.width) / 2.0,
                      (height() - fit * m_layout->canvas.height) / 2.0);
    painter.scale(fit, fit);
    paintChart(painter, *m_layout);
}

ChartWindow::ChartWindow(const ProgramState& state, UserPrompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_state(state)
    , m_prompts(prompts)
{
    setObjectName(QStringLiteral("ChartWindow"));
    setWindowTitle(tr("Principal Coordinates Chart"));

    cboMatrix = new QComboBox(this);
    cboMatrix->setObjectName(QStringLiteral("cboMatrix"));
    btnSavePng = new QPushButton(tr("Save &PNG..."), this);
    btnSavePng->setObjectName(QStringLiteral("btnSavePng"));
    btnSaveSvg = new QPushButton(tr("Save &SVG..."), this);
    btnSaveSvg->setObjectName(QStringLiteral("btnSaveSvg"));
    chartView = new ChartView(this);
    chartView->setObjectName(QStringLiteral("chartView"));

    auto* matrixLabel = new QLabel(tr("&Matrix:"), this);
    matrixLabel->setBuddy(cboMatrix);
    auto* controls = new QHBoxLayout;
    controls->addWidget(matrixLabel);
    controls->addWidget(cboMatrix);
    controls->addStretch();
    controls->addWidget(btnSavePng);
    controls->addWidget(btnSaveSvg);
    auto* column = new QVBoxLayout(this);
    column->addLayout(controls);
    column->addWidget(chartView, 1);
    resize(640, 680);

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
    setWindowTitle(dataName.isEmpty() ? tr("Principal Coordinates Chart")
                                      : tr("Principal Coordinates Chart - %1").arg(dataName));
}

void ChartWindow::refresh()
{
    showDataFileInTitle();
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

void ChartWindow::rebuildChart()
{
    const bool scaled = scaledChosen();
    const std::string title =
        scaled ? "Principal Coordinates of Scaled R Matrix" : "Principal Coordinates of R Matrix";
    if (m_runShown) {
        m_layout = layoutChart(chartInputFrom(m_state.results, scaled, title), qtTextMeasure());
        chartView->setEmptyText(tr("No principal coordinates to show."));
    } else {
        // the results of an earlier data set are not this data set's chart
        m_layout = ChartLayout{};
        chartView->setEmptyText(tr("There is no completed run of this data file: "
                                   "choose Analysis > Run... to draw the chart."));
    }
    cboMatrix->setEnabled(m_runShown);
    const bool any = !m_layout.points.empty();
    btnSavePng->setEnabled(any);
    btnSaveSvg->setEnabled(any);
    chartView->showChart(&m_layout);
}

void ChartWindow::save(bool png)
{
    saveChartFile(m_prompts, png ? btnSavePng : btnSaveSvg, png, [this, png](const QString& path) {
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
