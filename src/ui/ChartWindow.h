// A window that draws a chart of the last run, chosen in it: the first two principal coordinates
// as a scatter chart, for the R matrix or the scaled R matrix, or the Velbrand-Torvane residuals
// against r(ii); it saves the chart as PNG or SVG. It keeps no copy of the state: refresh() reads
// the last run's results again. It shows nothing while the main window has no completed run to
// offer (its Output menu disabled).
#pragma once

#include "chart/ChartLayout.h"
#include "chart/ChartPainter.h"
#include "state/ProgramState.h"

#include <QString>
#include <QWidget>

#include <cstddef>
#include <functional>

class QComboBox;
class QPainter;
class QPushButton;

namespace tavrik {

class UserPrompts;

// Paints a chart layout scaled to fit its size, keeping the chart's proportions.
class ChartView : public QWidget
{
    Q_OBJECT
public:
    ChartView(QSize minimum, QWidget* parent);
    // Shows one chart, the last one given: none for null, nor for a principal coordinates or
    // Velbrand-Torvane chart without points. The layout must stay while it is shown.
    void showChart(const ChartLayout* layout);
    void showChart(const VtChartLayout* layout);
    void showChart(const SweepChartLayout* layout);
    void showChart(const ScatterChartLayout* layout);
    void showChart(std::nullptr_t) { showPainted({}, nullptr); }
    // What the view says when it has no chart to draw.
    QString emptyText() const { return m_emptyText; }
    void setEmptyText(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // paint null: no chart.
    void showPainted(ChartSize canvas, std::function<void(QPainter&)> paint);

    ChartSize m_canvas;
    std::function<void(QPainter&)> m_paint;
    QString m_emptyText;
};

class ChartWindow : public QWidget
{
    Q_OBJECT
public:
    ChartWindow(const ProgramState& state, UserPrompts& prompts, QWidget* parent = nullptr);

    // Rebuilds the matrix choice and the chart from the state's last run; the kind of chart
    // chosen stays.
    void refresh();
    // Whether the main window offers a completed run; without one the chart is cleared and
    // cannot be saved. Redraws only when that changes.
    void followRun(bool runShown);

    // The chart as shown and saved; empty points when there is no run to show, or when the
    // other kind of chart is chosen.
    const ChartLayout& chartLayout() const { return m_layout; }
    const VtChartLayout& vtChartLayout() const { return m_vtLayout; }

    QComboBox* cboChart = nullptr;
    QComboBox* cboMatrix = nullptr;
    QPushButton* btnSavePng = nullptr;
    QPushButton* btnSaveSvg = nullptr;
    ChartView* chartView = nullptr;

private:
    bool scaledChosen() const;
    bool vtChosen() const;
    void showDataFileInTitle();
    void rebuildChart();
    void save(bool png);

    const ProgramState& m_state;
    UserPrompts& m_prompts;
    ChartLayout m_layout;
    VtChartLayout m_vtLayout;
    bool m_runShown = true;
};

// Asks for a PNG or SVG file name (the suffix added before the overwrite question), writes the
// chart through render, and reports the outcome on the button's window. Shared by every chart.
void saveChartFile(UserPrompts& prompts,
                   QPushButton* button,
                   bool png,
                   const std::function<QString(const QString& path)>& render);

// saveChartFile for a layout as the chart library renders it.
template <typename Layout>
void saveChartLayout(UserPrompts& prompts, QPushButton* button, bool png, const Layout& layout)
{
    saveChartFile(prompts, button, png, [&layout, png](const QString& path) {
        return png ? renderPng(path, layout) : renderSvg(path, layout);
    });
}

// Scales and centres the painter so that a chart's canvas fills the view as far as its
// proportions allow.
void fitChartToView(QPainter& painter, const QWidget& view, ChartSize canvas);

} // namespace tavrik
