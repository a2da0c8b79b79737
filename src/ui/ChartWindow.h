// A window that draws a chart of the last run, chosen in it: the first two principal coordinates
// as a scatter chart, for the R matrix or the scaled R matrix, the Velbrand-Torvane residuals
// against r(ii), or the neighbor-joining tree of the D-square (or scaled D-square) with the
// support of the run's bootstrap; it saves the chart as PNG or SVG. It keeps no copy of the
// state: refresh() reads the last run's results again. It shows nothing while the main window has
// no completed run to offer (its Output menu disabled).
#pragma once

#include "analysis/TreeAnalysis.h"
#include "chart/ChartLayout.h"
#include "chart/ChartPainter.h"
#include "state/ProgramState.h"

#include <QString>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
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
    // Velbrand-Torvane chart without points, nor for a tree without tips. The layout must stay
    // while it is shown.
    void showChart(const ChartLayout* layout);
    void showChart(const VtChartLayout* layout);
    void showChart(const SweepChartLayout* layout);
    void showChart(const ScatterChartLayout* layout);
    void showChart(const TreeChartLayout* layout);
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

// The bootstrap of the run the window shows, if there is one, and whether that run corrected
// its distances for sampling bias (the replicates' D-square are corrected likewise).
struct RunBootstrap
{
    const BootstrapResult* result = nullptr;
    bool biasCorrection = true;
};

class ChartWindow : public QWidget
{
    Q_OBJECT
public:
    ChartWindow(const ProgramState& state, UserPrompts& prompts, QWidget* parent = nullptr);

    // Where the tree finds the support of its splits; read again by every refresh(). Without a
    // source, or while it gives no result, the tree has no support values.
    void setBootstrapSource(std::function<RunBootstrap()> source);

    // Rebuilds the matrix and root choices and the chart from the state's last run and its
    // bootstrap; the kind of chart and the root population chosen stay.
    void refresh();
    // Whether the main window offers a completed run; without one the chart is cleared and
    // cannot be saved. Redraws only when that changes.
    void followRun(bool runShown);

    // The chart as shown and saved; empty points (no tips) when there is no run to show, or when
    // another kind of chart is chosen.
    const ChartLayout& chartLayout() const { return m_layout; }
    const VtChartLayout& vtChartLayout() const { return m_vtLayout; }
    const TreeChartLayout& treeChartLayout() const { return m_treeLayout; }

    QComboBox* cboChart = nullptr;
    QComboBox* cboMatrix = nullptr;
    QLabel* lblTreeRoot = nullptr; // the root's choice shows for the tree only
    QComboBox* cboTreeRoot = nullptr;
    QPushButton* btnSavePng = nullptr;
    QPushButton* btnSaveSvg = nullptr;
    ChartView* chartView = nullptr;

private:
    bool scaledChosen() const;
    bool vtChosen() const;
    bool treeChosen() const;
    void fillTreeRoots();
    void showDataFileInTitle();
    void rebuildChart();
    // The tree's layout, and the view's text for when it has none.
    QString layoutTree(bool scaled);
    void save(bool png);

    const ProgramState& m_state;
    UserPrompts& m_prompts;
    std::function<RunBootstrap()> m_bootstrapSource;
    ChartLayout m_layout;
    VtChartLayout m_vtLayout;
    TreeChartLayout m_treeLayout;
    // The tree of the matrix chosen, kept from one root choice to the next (with a bootstrap it
    // takes one tree per replicate); refresh() drops it.
    std::optional<Result<TreeRun>> m_tree;
    bool m_treeScaled = false;
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
