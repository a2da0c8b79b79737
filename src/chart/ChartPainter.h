// Draws a ChartLayout with QPainter and writes it as a PNG or SVG file. Everything here needs a
// QGuiApplication (fonts); ChartApp provides one for programs without a window.
#pragma once

#include "chart/ChartLayout.h"
#include "chart/ScatterChartLayout.h"
#include "chart/SweepChartLayout.h"
#include "chart/TreeChartLayout.h"
#include "state/ProgramState.h"
#include "state/Result.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>

class QGuiApplication;
class QPainter;

namespace tavrik {

inline constexpr int chartPngDpi = 300;

// Sizes in points of texts set in the chart's fonts.
TextMeasure qtTextMeasure();

// The painter's coordinates are the layout's points.
void paintChart(QPainter& painter, const ChartLayout& layout);
void paintSweepChart(QPainter& painter, const SweepChartLayout& layout);
void paintScatterChart(QPainter& painter, const ScatterChartLayout& layout);
void paintVtChart(QPainter& painter, const VtChartLayout& layout);
void paintTreeChart(QPainter& painter, const TreeChartLayout& layout);

// Each returns an empty text on success, otherwise a message naming the file and the reason.
// The file is written as every output is (see AtomicFile): an existing file is replaced whole or
// left as it was. Layout is one of the five chart layouts above.
template <typename Layout>
QString renderPng(const QString& path, const Layout& layout, int dpi = chartPngDpi);
template <typename Layout> QString renderSvg(const QString& path, const Layout& layout);

// A 7 x 7 inch chart of the last run: its first two principal coordinates (of the R matrix or
// of the scaled R matrix) or its Velbrand-Torvane residuals; ".png" or ".svg" (any case) at the
// end of path chooses the format. The caller knows whether the run had a scaled pass; results
// only say whether it has any scores.
QString writeChartFile(const std::string& path,
                       const AnalysisResults& results,
                       ChartKind kind,
                       const std::string& title);

// The bytes that writeChartFile would write to path, for a caller that writes them itself.
Result<std::string> chartFileBytes(const std::string& path,
                                   const AnalysisResults& results,
                                   ChartKind kind,
                                   const std::string& title);

// The heritability sweep's line chart (7 x 5 inches) as the bytes of a PNG or SVG file, the
// format chosen by the end of path as for chartFileBytes; failures name path.
Result<std::string>
sweepChartFileBytes(const std::string& path, const SweepTable& table, const std::string& title);

// The tree's chart (7 inches wide, taller when its tips need it) as the bytes of a PNG or SVG
// file, rooted on the population rootTip or, without one, at the midpoint; support values are
// drawn where the tree's inner nodes carry them; the scale bar measures unit ("D-square",
// "Scaled D-square"). Failures name path.
Result<std::string> treeChartFileBytes(const std::string& path,
                                       const Tree& tree,
                                       std::optional<std::size_t> rootTip,
                                       const std::string& title,
                                       const std::string& unit);

// For a program without windows: while alive, a QGuiApplication exists, on the offscreen
// platform unless QT_QPA_PLATFORM chose another. Does nothing when an application exists.
class ChartApp
{
public:
    ChartApp();
    ~ChartApp();
    ChartApp(const ChartApp&) = delete;
    ChartApp& operator=(const ChartApp&) = delete;

private:
    int m_argc = 1;
    char m_name[16] = "tavrik-chart";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QGuiApplication> m_app;
};

} // namespace tavrik
