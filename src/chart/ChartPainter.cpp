#include "chart/ChartPainter.h"

#include "export/AtomicFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>

#include <cmath>

namespace tavrik {

namespace {

constexpr double pointsPerInch = 72.0;
constexpr double metresPerInch = 0.0254;

const QColor frameColour(0x99, 0x99, 0x99);
const QColor axisColour(Qt::black);
const QColor pointColour(0x1f, 0x4e, 0x79);
const QColor centroidColour(0xb0, 0x1c, 0x1c);
const QColor labelColour(0x20, 0x20, 0x20);

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
QString encodePng(const ChartLayout& layout, int dpi, QByteArray& bytes)
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
        paintChart(painter, layout);
    }
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        return QStringLiteral("the PNG image could not be encoded");
    }
    return {};
}

QString encodeSvg(const ChartLayout& layout, QByteArray& bytes)
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
    svg.setTitle(layout.title.empty() ? QStringLiteral("Principal coordinates")
                                      : qt(layout.title).toHtmlEscaped());
    QPainter painter;
    if (!painter.begin(&svg)) {
        return QStringLiteral("the SVG drawing could not be started");
    }
    paintChart(painter, layout);
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
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(QRectF(0, 0, layout.canvas.width, layout.canvas.height), Qt::white);

    const ChartRect& f = layout.frame;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(frameColour, 0.5));
    painter.drawRect(qt(f));

    painter.setPen(QPen(axisColour, 0.8, Qt::SolidLine, Qt::FlatCap));
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
    painter.setPen(labelColour);
    painter.setFont(chartFont(ChartFont::PointLabel, st, device));
    for (const ChartLabel& label : layout.labels) {
        drawText(painter, label.box, label.text);
    }

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

QString renderPng(const QString& path, const ChartLayout& layout, int dpi)
{
    QByteArray bytes;
    if (const QString reason = encodePng(layout, dpi, bytes); !reason.isEmpty()) {
        return saveError(path, reason);
    }
    return saveFile(path, bytes);
}

QString renderSvg(const QString& path, const ChartLayout& layout)
{
    QByteArray bytes;
    if (const QString reason = encodeSvg(layout, bytes); !reason.isEmpty()) {
        return saveError(path, reason);
    }
    return saveFile(path, bytes);
}

Result<std::string> chartFileBytes(const std::string& path,
                                   const AnalysisResults& results,
                                   bool scaled,
                                   const std::string& title)
{
    const QString file = qt(path);
    const auto refused = [&file](const QString& reason) {
        return Error{
            ErrorKind::Io, saveError(file, reason).toStdString(), file.toStdString(), 0, {}};
    };
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return refused(QStringLiteral("charts need a graphical application object"));
    }
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix != QStringLiteral("png") && suffix != QStringLiteral("svg")) {
        return refused(QStringLiteral("a chart file name must end in .png or .svg"));
    }
    const ChartInput input = chartInputFrom(results, scaled, title);
    if (input.names.empty()) {
        return refused(QStringLiteral("there are no principal coordinates to draw"));
    }
    const ChartLayout layout = layoutChart(input, qtTextMeasure());
    QByteArray bytes;
    const QString reason = suffix == QStringLiteral("png") ? encodePng(layout, chartPngDpi, bytes)
                                                           : encodeSvg(layout, bytes);
    if (!reason.isEmpty()) {
        return refused(reason);
    }
    return bytes.toStdString();
}

QString writeChartFile(const std::string& path,
                       const AnalysisResults& results,
                       bool scaled,
                       const std::string& title)
{
    const Result<std::string> bytes = chartFileBytes(path, results, scaled, title);
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
