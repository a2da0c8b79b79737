// The core's SVG against the desktop's: the font table measures as Qt does, and both files of
// the same layout, rendered by rsvg-convert (Debian's librsvg2-bin), give the same picture
// within a small tolerance. Without rsvg-convert the pictures are not compared.
#include "chart/ChartPainter.h"
#include "chart/FontTable.h"
#include "chart/SvgChart.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "SvgSamples.h"

namespace tavrik {

namespace {

constexpr int pixelsWide = 1008; // 2 pixels per point of a 7 inch chart
// Two rendered pictures pass for the same when, after a 3 x 3 blur, their grey levels differ
// little on average and in every tile of 8 x 8 points: a glyph's edge shifted by a fraction of
// a pixel passes (the charts here differ by about 1 level in their worst tile), a marker, a
// line or a word out of place does not (a left-out number differs by more than 30).
constexpr double meanDifferenceLimit = 0.5; // grey levels of 255
constexpr double tileDifferenceLimit = 4.0;
constexpr int tileSide = 16; // pixels; tiles overlap by half

struct Picture
{
    int width = 0;
    int height = 0;
    std::vector<double> grey; // blurred, row by row
};

Picture blurredGrey(const QImage& image)
{
    const QImage g = image.convertToFormat(QImage::Format_Grayscale8);
    Picture p{g.width(), g.height(), {}};
    p.grey.resize(static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height));
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            double sum = 0.0;
            int n = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int xx = x + dx;
                    const int yy = y + dy;
                    if (xx >= 0 && xx < p.width && yy >= 0 && yy < p.height) {
                        sum += g.constScanLine(yy)[xx];
                        ++n;
                    }
                }
            }
            p.grey[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) +
                   static_cast<std::size_t>(x)] = sum / n;
        }
    }
    return p;
}

struct Difference
{
    double mean = 0.0;
    double tile = 0.0; // the largest mean difference of a tile
    QPoint where;      // that tile's top left pixel
    bool same() const { return mean <= meanDifferenceLimit && tile <= tileDifferenceLimit; }
    QString text() const
    {
        return QStringLiteral("mean difference %1, %2 in the tile at pixel (%3, %4)")
            .arg(mean)
            .arg(tile)
            .arg(where.x())
            .arg(where.y());
    }
};

Difference difference(const Picture& a, const Picture& b)
{
    double total = 0.0;
    for (std::size_t i = 0; i < a.grey.size(); ++i) {
        total += std::abs(a.grey[i] - b.grey[i]);
    }
    Difference d{total / static_cast<double>(a.grey.size()), 0.0, {}};
    for (int ty = 0; ty + tileSide <= a.height; ty += tileSide / 2) {
        for (int tx = 0; tx + tileSide <= a.width; tx += tileSide / 2) {
            double sum = 0.0;
            for (int y = ty; y < ty + tileSide; ++y) {
                for (int x = tx; x < tx + tileSide; ++x) {
                    const std::size_t i =
                        static_cast<std::size_t>(y) * static_cast<std::size_t>(a.width) +
                        static_cast<std::size_t>(x);
                    sum += std::abs(a.grey[i] - b.grey[i]);
                }
            }
            if (sum / (tileSide * tileSide) > d.tile) {
                d.tile = sum / (tileSide * tileSide);
                d.where = {tx, ty};
            }
        }
    }
    return d;
}

} // namespace

class SvgRenderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fontTableMeasuresAsQtDoes();
    void coreSvgLooksLikeTheDesktopsSvg_data();
    void coreSvgLooksLikeTheDesktopsSvg();

private:
    QString rendered(const QString& svgPath);
    std::optional<Picture> picture(const QString& svgPath);

    QString m_rsvg;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void SvgRenderTest::initTestCase()
{
    m_rsvg = QStandardPaths::findExecutable(QStringLiteral("rsvg-convert"));
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void SvgRenderTest::fontTableMeasuresAsQtDoes()
{
    const TextMeasure qt = qtTextMeasure();
    const TextMeasure table = fontTableMeasure();
    std::vector<std::string> texts = test::awkwardNames();
    texts.insert(texts.end(),
                 {"Principal Coordinates of Scaled R Matrix",
                  "PC II (20.5 %)",
                  "\u22120.025",
                  "0.05 D-square",
                  "Residual variance (observed minus expected)",
                  "Above the line: more variance than expected (more gene flow from outside)",
                  "Tyrvaa, Wolf-Yarrow; L'Avenir",
                  "\u0160koda \u0141\u00f3d\u017a \u00c5ngstr\u00f6m"});
    for (const ChartFont role :
         {ChartFont::Title, ChartFont::AxisTitle, ChartFont::Tick, ChartFont::PointLabel}) {
        for (const std::string& text : texts) {
            const ChartSize a = qt(text, role);
            const ChartSize b = table(text, role);
            const QString what = QString::fromStdString(text) +
                                 QStringLiteral(" in role %1").arg(static_cast<int>(role));
            QVERIFY2(
                std::abs(a.width - b.width) <= 1.0 / 64.0,
                qPrintable(what + QStringLiteral(": Qt %1, table %2").arg(a.width).arg(b.width)));
            QVERIFY2(
                std::abs(a.height - b.height) <= 1.0 / 64.0,
                qPrintable(what + QStringLiteral(": Qt %1, table %2").arg(a.height).arg(b.height)));
        }
    }
}

QString SvgRenderTest::rendered(const QString& svgPath)
{
    const QString png = svgPath + QStringLiteral(".png");
    QProcess rsvg;
    rsvg.start(m_rsvg,
               {QStringLiteral("-w"),
                QString::number(pixelsWide),
                QStringLiteral("-b"),
                QStringLiteral("white"),
                QStringLiteral("-o"),
                png,
                svgPath});
    if (!rsvg.waitForFinished(60000) || rsvg.exitStatus() != QProcess::NormalExit ||
        rsvg.exitCode() != 0) {
        qWarning("rsvg-convert %s: %s", qPrintable(svgPath), rsvg.readAllStandardError().data());
        return {};
    }
    return png;
}

std::optional<Picture> SvgRenderTest::picture(const QString& svgPath)
{
    const QString png = rendered(svgPath);
    const QImage image(png);
    if (png.isEmpty() || image.isNull()) {
        return std::nullopt;
    }
    return blurredGrey(image);
}

void SvgRenderTest::coreSvgLooksLikeTheDesktopsSvg_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name : {"pc", "vt", "sweep", "mantel", "tree"}) {
        QTest::newRow(name) << QString::fromLatin1(name);
    }
}

// Each chart laid out as the desktop lays it out; the desktop's SVG of it written to qtPath
// (the error, if any, in failure), and the core's SVG of the same layout returned.
template <typename Layout>
std::string bothSvgs(const Layout& layout, const QString& qtPath, QString& failure)
{
    failure = renderSvg(qtPath, layout);
    return svgChart(layout);
}

std::string bothSvgs(const QString& name, const QString& qtPath, QString& failure)
{
    const TextMeasure measure = qtTextMeasure();
    if (name == QStringLiteral("pc")) {
        return bothSvgs(layoutChart(test::pcSample(), measure), qtPath, failure);
    }
    if (name == QStringLiteral("vt")) {
        return bothSvgs(layoutVtChart(test::vtSample(), measure), qtPath, failure);
    }
    if (name == QStringLiteral("sweep")) {
        return bothSvgs(layoutSweepChart(test::sweepSample(), measure), qtPath, failure);
    }
    if (name == QStringLiteral("mantel")) {
        return bothSvgs(layoutScatterChart(test::scatterSample(), measure), qtPath, failure);
    }
    return bothSvgs(layoutTreeChart(test::treeSample(), measure), qtPath, failure);
}

void SvgRenderTest::coreSvgLooksLikeTheDesktopsSvg()
{
    if (m_rsvg.isEmpty()) {
        QSKIP("rsvg-convert (Debian's librsvg2-bin) is not installed: the pictures are not "
              "compared");
    }
    QFETCH(QString, name);
    const QString qtPath = m_dir->filePath(name + QStringLiteral("-qt.svg"));
    QString failure;
    const std::string coreSvg = bothSvgs(name, qtPath, failure);
    QCOMPARE(failure, QString());
    const auto write = [this, &name](const QString& suffix, const std::string& bytes) {
        const QString path = m_dir->filePath(name + suffix);
        QFile file(path);
        const bool written = file.open(QIODevice::WriteOnly) &&
                             file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                                 static_cast<qint64>(bytes.size());
        return written ? path : QString();
    };
    const QString corePath = write(QStringLiteral("-core.svg"), coreSvg);
    QVERIFY(!corePath.isEmpty());

    const std::optional<Picture> a = picture(qtPath);
    const std::optional<Picture> b = picture(corePath);
    QVERIFY(a && b);
    QCOMPARE(b->width, a->width);
    QCOMPARE(b->height, a->height);
    const Difference d = difference(*a, *b);
    QVERIFY2(d.same(), qPrintable(d.text()));

    // The comparison sees a fault as small as one text left out.
    std::string faulty = coreSvg;
    const std::size_t text = faulty.find("<text");
    QVERIFY(text != std::string::npos);
    faulty.erase(text, faulty.find("</text>", text) + 7 - text);
    const QString faultyPath = write(QStringLiteral("-faulty.svg"), faulty);
    const std::optional<Picture> c = picture(faultyPath);
    QVERIFY(c);
    const Difference f = difference(*a, *c);
    QVERIFY2(!f.same(), qPrintable(QStringLiteral("a missing text passes: ") + f.text()));
}

} // namespace tavrik

int main(int argc, char** argv)
{
    const tavrik::ChartApp app;
    tavrik::SvgRenderTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SvgRenderTest.moc"
