#include "ui/ChartWindow.h"

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

void ChartView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (m_layout == nullptr || m_layout->points.empty()) {
        painter.drawText(rect(), Qt::AlignCenter, tr("No principal coordinates to show."));
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

void ChartWindow::rebuildChart()
{
    const bool scaled = scaledChosen();
    const std::string title =
        scaled ? "Principal Coordinates of Scaled R Matrix" : "Principal Coordinates of R Matrix";
    m_layout = layoutChart(chartInputFrom(m_state.results, scaled, title), qtTextMeasure());
    const bool any = !m_layout.points.empty();
    btnSavePng->setEnabled(any);
    btnSaveSvg->setEnabled(any);
    chartView->showChart(&m_layout);
}

void ChartWindow::save(bool png)
{
    const QString suffix = png ? QStringLiteral("png") : QStringLiteral("svg");
    const std::optional<QString> chosen = m_prompts.saveFileName(
        {png ? tr("PNG Images (*.png)") : tr("SVG Drawings (*.svg)"), tr("All Files (*)")});
    if (!chosen) {
        return;
    }
    QString path = *chosen;
    if (QFileInfo(path).suffix().compare(suffix, Qt::CaseInsensitive) != 0) {
        path += QLatin1Char('.') + suffix;
    }
    const QString error = png ? renderPng(path, m_layout) : renderSvg(path, m_layout);
    if (!error.isEmpty()) {
        m_prompts.message(UserPrompts::Icon::Critical, tr("Error"), error);
    }
}

} // namespace tavrik
