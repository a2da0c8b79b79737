#include "chart/ChartPainter.h"

#include "chart/ChartTitles.h"
#include "chart/RunCharts.h"
#include "io/AtomicFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

namespace tavrik {

namespace {

constexpr double pointsPerInch = 72.0;
constexpr double metresPerInch = 0.0254;

const QColor frameColour(0x99, 0x99, 0x99);
const QColor axisColour(Qt::black);
const QColor pointColour(0x1f, 0x4e, 0x79);
const QColor centroidColour(0xb0, 0x1c, 0x1c);
const QColor labelColour(0x20, 0x20, 0x20);

// A thin line from the edge of a point's disc to the nearest spot of its label's box, for the
// labels moved away from a crowd.
void drawLeaders(QPainter& painter,
                 const std::vector<ChartPoint>& points,
                 const std::vector<ChartLabel>& labels,
                 double radius)
{
    painter.setPen(QPen(labelColour, 0.3));
    for (std::size_t i = 0; i < labels.size() && i < points.size(); ++i) {
        if (!labels[i].leader) {
            continue;
        }
        if (const auto leader = leaderLine(points[i], labels[i].box, radius)) {
            painter.drawLine(QPointF(leader->from.x, leader->from.y),
                             QPointF(leader->to.x, leader->to.y));
        }
    }
}
const QColor gridColour(0xdd, 0xdd, 0xdd);

QString qt(const std::string& utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QRectF qt(const ChartRect& r)
{
    return {r.left, r.top, r.width, r.height};
}

// A font whose size in the device's logical units equals the role's size in points, so that
// one chart point is one painter unit whatever the resolution of the device.
QFont chartFont(ChartFont role, const ChartStyle& style, const QPaintDevice& device)
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(style.fontSize(role) * pointsPerInch / device.logicalDpiY());
    if (role == ChartFont::Title) {
        font.setBold(true);
    }
    return font;
}

// An image of 72 dots per inch, so that a font's point is one unit.
QImage pointDevice()
{
    QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
    const int dotsPerMetre = static_cast<int>(std::lround(pointsPerInch / metresPerInch));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return image;
}

QString saveError(const QString& path, const QString& reason)
{
    return QStringLiteral("Cannot save \"%1\": %2").arg(path, reason);
}

// The chart is drawn into memory and written through the core's file writer, which treats
// links, devices and full disks as every other output does. Each returns the reason of a
// failure, or an empty text.
// The painter of one chart: its canvas size and how to draw it.
struct Drawing
{
    ChartSize canvas;
    std::function<void(QPainter&)> paint;
    QString title; // of an SVG file
};

// The drawing of a layout by its painter; untitled names an SVG file of a chart without a title.
template <typename Layout>
Drawing drawingWith(const Layout& layout,
                    void (*paint)(QPainter&, const Layout&),
                    std::string_view untitled)
{
    return {layout.canvas,
            [&layout, paint](QPainter& painter) { paint(painter, layout); },
            qt(layout.title.empty() ? std::string(untitled) : layout.title)};
}

Drawing drawingOf(const ChartLayout& layout)
{
    return drawingWith(layout, paintChart, untitledPcChart);
}

Drawing drawingOf(const SweepChartLayout& layout)
{
    return drawingWith(layout, paintSweepChart, untitledSweepChart);
}

Drawing drawingOf(const ScatterChartLayout& layout)
{
    return drawingWith(layout, paintScatterChart, untitledScatterChart);
}

Drawing drawingOf(const TreeChartLayout& layout)
{
    return drawingWith(layout, paintTreeChart, untitledTreeChart);
}

Drawing drawingOf(const VtChartLayout& layout)
{
    return drawingWith(layout, paintVtChart, vtChartTitle);
}

QString encodePng(const Drawing& layout, int dpi, QByteArray& bytes)
{
    const double pixelsPerPoint = dpi / pointsPerInch;
    QImage image(static_cast<int>(std::lround(layout.canvas.width * pixelsPerPoint)),
                 static_cast<int>(std::lround(layout.canvas.height * pixelsPerPoint)),
                 QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return QStringLiteral("the image is too large for the memory available");
    }
    const int dotsPerMetre = static_cast<int>(std::lround(dpi / metresPerInch));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.scale(pixelsPerPoint, pixelsPerPoint);
        layout.paint(painter);
    }
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        return QStringLiteral("the PNG image could not be encoded");
    }
    return {};
}

QString encodeSvg(const Drawing& layout, QByteArray& bytes)
{
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly)) {
        return QStringLiteral("the SVG drawing could not be started");
    }
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setResolution(static_cast<int>(pointsPerInch)); // one SVG unit per point
    const QSize size(static_cast<int>(std::ceil(layout.canvas.width)),
                     static_cast<int>(std::ceil(layout.canvas.height)));
    svg.setSize(size);
    svg.setViewBox(QRectF(0, 0, layout.canvas.width, layout.canvas.height));
    // the generator writes the title into the XML as it is given
    svg.setTitle(layout.title.toHtmlEscaped());
    QPainter painter;
    if (!painter.begin(&svg)) {
        return QStringLiteral("the SVG drawing could not be started");
    }
    layout.paint(painter);
    painter.end();
    return {};
}

QString saveFile(const QString& path, const QByteArray& bytes)
{
    const Status written = writeFileAtomically(
        QFile::encodeName(path).toStdString(),
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return written ? QString() : qt(written.error().message);
}

void drawText(QPainter& painter, const ChartRect& box, const std::string& text)
{
    painter.drawText(qt(box), Qt::AlignCenter | Qt::TextDontClip, qt(text));
}

// Saves the painter's state and starts a chart on a white canvas, drawn antialiased.
void beginCanvas(QPainter& painter, ChartSize canvas)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(QRectF(0, 0, canvas.width, canvas.height), Qt::white);
}

// The ticks below and left of the frame of a chart with free axes, with their numbers.
void drawFreeAxisTicks(QPainter& painter,
                       const ChartRect& f,
                       const std::vector<ChartTick>& xTicks,
                       const std::vector<ChartTick>& yTicks,
                       const ChartStyle& st)
{
    painter.setFont(chartFont(ChartFont::Tick, st, *painter.device()));
    for (const ChartTick& t : xTicks) {
        painter.drawLine(QPointF(t.position, f.bottom()),
                         QPointF(t.position, f.bottom() + st.tickLength));
        drawText(painter, t.labelBox, t.label);
    }
    for (const ChartTick& t : yTicks) {
        painter.drawLine(QPointF(f.left - st.tickLength, t.position), QPointF(f.left, t.position));
        drawText(painter, t.labelBox, t.label);
    }
}

// A chart whose frame is a thin outline with axis lines across it: the canvas begun, the frame
// drawn and the pen set for the axis lines.
void beginOutlinedChart(QPainter& painter, ChartSize canvas, const ChartRect& frame)
{
    beginCanvas(painter, canvas);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(frameColour, 0.5));
    painter.drawRect(qt(frame));
    painter.setPen(QPen(axisColour, 0.8, Qt::SolidLine, Qt::FlatCap));
}

// A chart with free axes and a grid line at every vertical tick: the canvas begun, the grid,
// the frame and the ticks drawn.
void beginGriddedChart(QPainter& painter, const FreeAxesChart& layout)
{
    beginCanvas(painter, layout.canvas);
    const ChartRect& f = layout.frame;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(gridColour, 0.4));
    for (const ChartTick& t : layout.yTicks) {
        painter.drawLine(QPointF(f.left, t.position), QPointF(f.right(), t.position));
    }
    painter.setPen(QPen(axisColour, 0.8));
    painter.drawRect(qt(f));

    drawFreeAxisTicks(painter, f, layout.xTicks, layout.yTicks, layout.style);
}

// The axis titles (the vertical one turned a quarter) and the title, alike in every chart; then
// the painter's state as it was before beginCanvas.
void finishChart(QPainter& painter, const TitledChart& layout)
{
    const ChartStyle& st = layout.style;
    const QPaintDevice& device = *painter.device();
    painter.setPen(Qt::black);
    painter.setFont(chartFont(ChartFont::AxisTitle, st, device));
    drawText(painter, layout.xTitleBox, layout.xTitle);
    const ChartRect& y = layout.yTitleBox;
    painter.save();
    painter.translate(y.left + y.width / 2.0, y.top + y.height / 2.0);
    painter.rotate(-90.0);
    drawText(painter, {-y.height / 2.0, -y.width / 2.0, y.height, y.width}, layout.yTitle);
    painter.restore();

    if (!layout.title.empty()) {
        painter.setFont(chartFont(ChartFont::Title, st, device));
        drawText(painter, layout.titleBox, layout.title);
    }
    painter.restore();
}

} // namespace

TextMeasure qtTextMeasure()
{
    return [device = pointDevice(), style = ChartStyle{}](std::string_view utf8, ChartFont role) {
        const QFontMetricsF metrics(chartFont(role, style, device), &device);
        const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
        return ChartSize{metrics.horizontalAdvance(text), metrics.height()};
    };
}

void paintChart(QPainter& painter, const ChartLayout& layout)
{
    const ChartStyle& st = layout.style;
    const QPaintDevice& device = *painter.device();
    const ChartRect& f = layout.frame;
    beginOutlinedChart(painter, layout.canvas, f);
    painter.drawLine(QPointF(f.left, layout.xAxisY), QPointF(f.right(), layout.xAxisY));
    painter.drawLine(QPointF(layout.yAxisX, f.top), QPointF(layout.yAxisX, f.bottom()));

    // a tick points towards its number
    painter.setFont(chartFont(ChartFont::Tick, st, device));
    for (const ChartTick& t : layout.xTicks) {
        const double dir = !t.label.empty() && t.labelBox.top < layout.xAxisY ? -1.0 : 1.0;
        painter.drawLine(QPointF(t.position, layout.xAxisY),
                         QPointF(t.position, layout.xAxisY + dir * st.tickLength));
        if (!t.label.empty()) {
            drawText(painter, t.labelBox, t.label);
        }
    }
    for (const ChartTick& t : layout.yTicks) {
        const double dir = !t.label.empty() && t.labelBox.left > layout.yAxisX ? 1.0 : -1.0;
        painter.drawLine(QPointF(layout.yAxisX, t.position),
                         QPointF(layout.yAxisX + dir * st.tickLength, t.position));
        if (!t.label.empty()) {
            drawText(painter, t.labelBox, t.label);
        }
    }

    const double c = st.centroidSize;
    painter.setPen(QPen(centroidColour, 1.4, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(layout.centroid.x - c, layout.centroid.y),
                     QPointF(layout.centroid.x + c, layout.centroid.y));
    painter.drawLine(QPointF(layout.centroid.x, layout.centroid.y - c),
                     QPointF(layout.centroid.x, layout.centroid.y + c));

    painter.setPen(QPen(Qt::black, 0.4));
    painter.setBrush(pointColour);
    for (const ChartPoint& p : layout.points) {
        painter.drawEllipse(QPointF(p.x, p.y), st.pointRadius, st.pointRadius);
    }

    painter.setBrush(Qt::NoBrush);
    drawLeaders(painter, layout.points, layout.labels, st.pointRadius);
    painter.setPen(labelColour);
    painter.setFont(chartFont(ChartFont::PointLabel, st, device));
    for (const ChartLabel& label : layout.labels) {
        drawText(painter, label.box, label.text);
    }

    finishChart(painter, layout);
}

void paintSweepChart(QPainter& painter, const SweepChartLayout& layout)
{
    const ChartStyle& st = layout.style;
    const QPaintDevice& device = *painter.device();
    beginGriddedChart(painter, layout);

    const QColor colours[] = {pointColour, centroidColour};
    const Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine};
    painter.setFont(chartFont(ChartFont::PointLabel, st, device));
    for (std::size_t k = 0; k < layout.series.size(); ++k) {
        const SweepSeries& s = layout.series[k];
        const QPen line(colours[k % 2], 1.4, styles[k % 2], Qt::RoundCap, Qt::RoundJoin);
        painter.setPen(line);
        painter.setBrush(Qt::NoBrush);
        for (const auto& segment : s.segments) {
            QPolygonF polyline;
            for (const ChartPoint& p : segment) {
                polyline << QPointF(p.x, p.y);
            }
            painter.drawPolyline(polyline);
        }
        painter.setPen(QPen(colours[k % 2], 0.6));
        painter.setBrush(colours[k % 2]);
        const double r = st.pointRadius * 0.6;
        for (const auto& segment : s.segments) {
            for (const ChartPoint& p : segment) {
                painter.drawEllipse(QPointF(p.x, p.y), r, r);
            }
        }
        painter.setPen(line);
        painter.drawLine(QPointF(s.legendLineFrom.x, s.legendLineFrom.y),
                         QPointF(s.legendLineTo.x, s.legendLineTo.y));
        painter.setPen(labelColour);
        drawText(painter, s.legendBox, s.name);
    }

    finishChart(painter, layout);
}

void paintScatterChart(QPainter& painter, const ScatterChartLayout& layout)
{
    const ChartStyle& st = layout.style;
    const QPaintDevice& device = *painter.device();
    beginGriddedChart(painter, layout);

    painter.setPen(QPen(Qt::black, 0.4));
    painter.setBrush(pointColour);
    for (const ChartPoint& p : layout.points) {
        painter.drawEllipse(QPointF(p.x, p.y), st.pointRadius, st.pointRadius);
    }
    const QPen line(centroidColour, 1.4, Qt::DashLine, Qt::RoundCap);
    painter.setBrush(Qt::NoBrush);
    if (layout.hasLine) {
        painter.setPen(line);
        painter.drawLine(QPointF(layout.lineFrom.x, layout.lineFrom.y),
                         QPointF(layout.lineTo.x, layout.lineTo.y));
    }
    if (!layout.legend.empty()) {
        painter.setPen(line);
        painter.drawLine(QPointF(layout.legendLineFrom.x, layout.legendLineFrom.y),
                         QPointF(layout.legendLineTo.x, layout.legendLineTo.y));
        painter.setPen(labelColour);
        painter.setFont(chartFont(ChartFont::PointLabel, st, device));
        drawText(painter, layout.legendBox, layout.legend);
    }

    finishChart(painter, layout);
}

void paintVtChart(QPainter& painter, const VtChartLayout& layout)
{
    const ChartStyle& st = layout.style;
    const QPaintDevice& device = *painter.device();
    const ChartRect& f = layout.frame;
    beginOutlinedChart(painter, layout.canvas, f);
    painter.drawLine(QPointF(f.left, layout.zeroY), QPointF(f.right(), layout.zeroY));

    drawFreeAxisTicks(painter, f, layout.xTicks, layout.yTicks, st);

    // Filled against open rather than two colours, so that a grey print still tells them apart.
    const auto marker = [&painter, &st](ChartPoint p, bool above) {
        if (above) {
            painter.setPen(QPen(Qt::black, 0.4));
            painter.setBrush(pointColour);
        } else {
            painter.setPen(QPen(pointColour, 1.2));
            painter.setBrush(Qt::white);
        }
        painter.drawEllipse(QPointF(p.x, p.y), st.pointRadius, st.pointRadius);
    };
    for (std::size_t i = 0; i < layout.points.size(); ++i) {
        marker(layout.points[i], layout.above[i]);
    }
    for (const VtLegendEntry& entry : layout.legend) {
        marker(entry.marker, entry.above);
    }

    painter.setBrush(Qt::NoBrush);
    drawLeaders(painter, layout.points, layout.labels, st.pointRadius);
    painter.setPen(labelColour);
    painter.setFont(chartFont(ChartFont::PointLabel, st, device));
    for (const ChartLabel& label : layout.labels) {
        drawText(painter, label.box, label.text);
    }
    for (const VtLegendEntry& entry : layout.legend) {
        drawText(painter, entry.box, entry.text);
    }

    finishChart(painter, layout);
}

void paintTreeChart(QPainter& painter, const TreeChartLayout& layout)
{
    const ChartStyle& st = layout.style;
    const QPaintDevice& device = *painter.device();
    beginCanvas(painter, layout.canvas);
    painter.setBrush(Qt::NoBrush);

    // Square caps close the corners where a node's join meets its branches; a branch of no
    // length is left out, so that its cap does not draw it as a stub.
    painter.setPen(QPen(axisColour, 0.8, Qt::SolidLine, Qt::SquareCap));
    for (const TreeSegment& s : layout.branches) {
        if (s.from.x != s.to.x || s.from.y != s.to.y) {
            painter.drawLine(QPointF(s.from.x, s.from.y), QPointF(s.to.x, s.to.y));
        }
    }
    painter.setPen(QPen(axisColour, 0.8, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(layout.bar.from.x, layout.bar.from.y),
                     QPointF(layout.bar.to.x, layout.bar.to.y));

    painter.setPen(labelColour);
    painter.setFont(chartFont(ChartFont::PointLabel, st, device));
    for (const ChartLabel& label : layout.labels) {
        drawText(painter, label.box, label.text);
    }
    painter.setFont(chartFont(ChartFont::Tick, st, device));
    for (const ChartLabel& label : layout.supports) {
        drawText(painter, label.box, label.text);
    }
    drawText(painter, layout.barLabel.box, layout.barLabel.text);

    finishChart(painter, layout);
}

namespace {

// A drawing of either chart, encoded and written as its file: one path for both kinds.
QString renderPngOf(const QString& path, const Drawing& drawing, int dpi)
{
    QByteArray bytes;
    if (const QString reason = encodePng(drawing, dpi, bytes); !reason.isEmpty()) {
        return saveError(path, reason);
    }
    return saveFile(path, bytes);
}

QString renderSvgOf(const QString& path, const Drawing& drawing)
{
    QByteArray bytes;
    if (const QString reason = encodeSvg(drawing, bytes); !reason.isEmpty()) {
        return saveError(path, reason);
    }
    return saveFile(path, bytes);
}

} // namespace

template <typename Layout> QString renderPng(const QString& path, const Layout& layout, int dpi)
{
    return renderPngOf(path, drawingOf(layout), dpi);
}

template <typename Layout> QString renderSvg(const QString& path, const Layout& layout)
{
    return renderSvgOf(path, drawingOf(layout));
}

template QString renderPng(const QString&, const ChartLayout&, int);
template QString renderPng(const QString&, const SweepChartLayout&, int);
template QString renderPng(const QString&, const ScatterChartLayout&, int);
template QString renderPng(const QString&, const VtChartLayout&, int);
template QString renderPng(const QString&, const TreeChartLayout&, int);
template QString renderSvg(const QString&, const ChartLayout&);
template QString renderSvg(const QString&, const SweepChartLayout&);
template QString renderSvg(const QString&, const ScatterChartLayout&);
template QString renderSvg(const QString&, const VtChartLayout&);
template QString renderSvg(const QString&, const TreeChartLayout&);

namespace {

// Checks that a chart can be written to path and encodes it, laid out by lay, in the format
// that the extension chooses; failures name the file.
template <typename Lay> Result<std::string> encodedChart(const std::string& path, Lay lay)
{
    const QString file = qt(path);
    const auto refused = [&file](const QString& reason) {
        return Error::io(saveError(file, reason).toStdString(), file.toStdString());
    };
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return refused(QStringLiteral("charts need a graphical application object"));
    }
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix != QStringLiteral("png") && suffix != QStringLiteral("svg")) {
        return refused(QStringLiteral("a chart file name must end in .png or .svg"));
    }
    const auto layout = lay(qtTextMeasure());
    if (!layout) {
        return refused(qt(layout.error().message));
    }
    QByteArray bytes;
    const QString reason = suffix == QStringLiteral("png")
                               ? encodePng(drawingOf(*layout), chartPngDpi, bytes)
                               : encodeSvg(drawingOf(*layout), bytes);
    if (!reason.isEmpty()) {
        return refused(reason);
    }
    return bytes.toStdString();
}

} // namespace

Result<std::string> chartFileBytes(const std::string& path,
                                   const AnalysisResults& results,
                                   ChartKind kind,
                                   const std::string& title)
{
    if (kind == ChartKind::VelbrandTorvane) {
        return encodedChart(
            path, [&](const TextMeasure& measure) { return vtChartOf(results, title, measure); });
    }
    return encodedChart(
        path, [&](const TextMeasure& measure) { return pcChartOf(results, kind, title, measure); });
}

Result<std::string>
sweepChartFileBytes(const std::string& path, const SweepTable& table, const std::string& title)
{
    return encodedChart(
        path, [&](const TextMeasure& measure) { return sweepChartOf(table, title, measure); });
}

Result<std::string> treeChartFileBytes(const std::string& path,
                                       const Tree& tree,
                                       std::optional<std::size_t> rootTip,
                                       const std::string& title,
                                       const std::string& unit)
{
    return encodedChart(path, [&](const TextMeasure& measure) {
        return treeChartOf(tree, rootTip, title, unit, measure);
    });
}

QString writeChartFile(const std::string& path,
                       const AnalysisResults& results,
                       ChartKind kind,
                       const std::string& title)
{
    const Result<std::string> bytes = chartFileBytes(path, results, kind, title);
    if (!bytes) {
        return qt(bytes.error().message);
    }
    const Status written = writeFileAtomically(path, *bytes);
    return written ? QString() : qt(written.error().message);
}

ChartApp::ChartApp()
{
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    m_app = std::make_unique<QGuiApplication>(m_argc, m_argv);
}

ChartApp::~ChartApp() = default;

} // namespace tavrik
