#include "cli/BatchChart.h"

#include "chart/ChartPainter.h"
#include "cli/BatchRun.h"

#include <QtGlobal>

#include <iostream>

namespace tavrik {

namespace {

// Qt's warnings while a windowless application starts (no runtime folder, no session) concern
// a desktop that a batch run does not have; whether the chart was written is told by the
// result. Critical messages still reach stderr, prefixed like the program's own.
void batchQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        printBatchMessage(std::cerr, text.toStdString());
    }
}

class QtMessageFilter
{
public:
    QtMessageFilter()
        : m_previous(qInstallMessageHandler(batchQtMessages))
    {}
    ~QtMessageFilter() { qInstallMessageHandler(m_previous); }
    QtMessageFilter(const QtMessageFilter&) = delete;
    QtMessageFilter& operator=(const QtMessageFilter&) = delete;

private:
    QtMessageHandler m_previous;
};

} // namespace

const ChartFormats batchChartFormats = ChartFormats::PngAndSvg;

Result<std::string> drawBatchChart(const std::filesystem::path& target,
                                   const AnalysisResults& results,
                                   ChartKind kind,
                                   const std::string& title)
{
    const QtMessageFilter quiet;
    const ChartApp app;
    return chartFileBytes(target.string(), results, kind, title);
}

Result<std::string> drawBatchSweepChart(const std::filesystem::path& target,
                                        const SweepTable& table,
                                        const std::string& title)
{
    const QtMessageFilter quiet;
    const ChartApp app;
    return sweepChartFileBytes(target.string(), table, title);
}

Result<std::string> drawBatchTreeChart(const std::filesystem::path& target,
                                       const Tree& tree,
                                       std::optional<std::size_t> rootTip,
                                       const std::string& title,
                                       const std::string& unit)
{
    const QtMessageFilter quiet;
    const ChartApp app;
    return treeChartFileBytes(target.string(), tree, rootTip, title, unit);
}

} // namespace tavrik
