// The chart written as PNG and SVG files, in a program without windows (as the batch program
// runs it): ChartApp provides the application object.

#include "chart/ChartPainter.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <memory>
#include <string>
#include <utility>

namespace tavrik {

class ChartFileTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void svgHoldsEveryLabelEscaped();
    void pngHasThePublicationSizeAndThePointsWhereTheLayoutPutsThem();
    void refusedFilesNameTheFileAndLeaveNothingBehind();
    void vtPngTellsAboveFromBelowInGreyAndDrawsTheZeroLine();

private:
    std::string file(const QString& name) const { return m_dir->filePath(name).toStdString(); }

    std::unique_ptr<QTemporaryDir> m_dir; // a fresh folder for every test
    AnalysisResults m_results;
};

void ChartFileTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // four populations whose coordinates sum to zero on both axes
    m_results = {};
    m_results.populationNames = {"Nord & S\u00fcd", "<Hill>", "\u00d8resund", "Plain \"A\""};
    m_results.pcScores = Matrix(4, 2);
    const double scores[4][2] = {{0.3, 0.1}, {-0.2, 0.15}, {-0.15, -0.2}, {0.05, -0.05}};
    for (std::size_t i = 0; i < 4; ++i) {
        m_results.pcScores(i, 0) = scores[i][0];
        m_results.pcScores(i, 1) = scores[i][1];
    }
    m_results.pcShares = {71.25, 20.5};
    // the R matrix's diagonal and the residuals of a Velbrand-Torvane analysis
    m_results.rMatrix = Matrix(4, 4);
    const double rii[4] = {0.35, 0.12, 0.0, 0.22};
    for (std::size_t i = 0; i < 4; ++i) {
        m_results.rMatrix(i, i) = rii[i];
    }
    m_results.residualVariance = {0.21, -0.08, -0.17, 0.04};
}

void ChartFileTest::svgHoldsEveryLabelEscaped()
{
    // each kind of chart with the texts that only it has
    const std::pair<ChartKind, QStringList> kinds[] = {
        {ChartKind::PrincipalCoords, {"PC I (71.3 %)", "PC II (20.5 %)"}},
        {ChartKind::VelbrandTorvane,
         {"Above the line: more variance than expected (more gene flow from outside)",
          "Below the line: less variance than expected (less gene flow from outside)",
          "r(ii), distance from the centroid",
          "Residual variance (observed minus expected)"}},
    };
    for (const auto& [kind, own] : kinds) {
        const std::string path = file(QStringLiteral("chart.SVG"));
        QCOMPARE(writeChartFile(path, m_results, kind, "Four & more"), QString());
        QFile svg(QString::fromStdString(path));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        const QByteArray bytes = svg.readAll();

        // well-formed XML, so every name was escaped
        QXmlStreamReader xml(bytes);
        QStringList texts;
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"text") {
                texts << xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            }
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        for (const std::string& name : m_results.populationNames) {
            QVERIFY2(texts.contains(QString::fromStdString(name)), name.c_str());
        }
        for (const QString& text : own + QStringList{"Four & more"}) {
            QVERIFY2(texts.contains(text), qPrintable(text));
        }
        QVERIFY(bytes.contains("Nord &amp; S\xc3\xbc"
                               "d"));
        QVERIFY(bytes.contains("&lt;Hill&gt;"));
    }
}

void ChartFileTest::pngHasThePublicationSizeAndThePointsWhereTheLayoutPutsThem()
{
    const std::string path = file(QStringLiteral("pcs.png"));
    QCOMPARE(writeChartFile(path, m_results, ChartKind::PrincipalCoords, ""), QString());
    const QImage image(QString::fromStdString(path));
    QCOMPARE(image.size(), QSize(2100, 2100)); // 7 x 7 inches at 300 dots per inch
    QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 300);

    // the middle of each point is painted in the points' colour, the frame's corner is white
    const ChartLayout layout = layoutChart(chartInputFrom(m_results, false, ""), qtTextMeasure());
    const double pixelsPerPoint = 300.0 / 72.0;
    for (const ChartPoint& p : layout.points) {
        const QColor c =
            image.pixelColor(qRound(p.x * pixelsPerPoint), qRound(p.y * pixelsPerPoint));
        QVERIFY2(c.blue() > c.red() + 60 && c.value() < 160, qPrintable(c.name()));
    }
    QCOMPARE(image.pixelColor(qRound((layout.frame.left + 2) * pixelsPerPoint),
                              qRound((layout.frame.top + 2) * pixelsPerPoint)),
             QColor(Qt::white));

    const QString lowRes = m_dir->filePath(QStringLiteral("small.png"));
    QCOMPARE(renderPng(lowRes, layout, 150), QString());
    QCOMPARE(QImage(lowRes).size(), QSize(1050, 1050));
}

void ChartFileTest::refusedFilesNameTheFileAndLeaveNothingBehind()
{
    const std::string pdf = file(QStringLiteral("pcs.pdf"));
    const QString wrongKind = writeChartFile(pdf, m_results, ChartKind::PrincipalCoords, "");
    QVERIFY(wrongKind.contains(QString::fromStdString(pdf)));
    QVERIFY(wrongKind.contains(QStringLiteral(".png or .svg")));
    QVERIFY(!QFile::exists(QString::fromStdString(pdf)));

    const std::string missing = file(QStringLiteral("missing-dir/pcs.svg"));
    const QString noFolder = writeChartFile(missing, m_results, ChartKind::PrincipalCoords, "");
    QVERIFY2(noFolder.contains(QString::fromStdString(missing)), qPrintable(noFolder));

    // a run without a scaled pass has no scaled scores to draw
    const std::string empty = file(QStringLiteral("empty.png"));
    const QString nothing =
        writeChartFile(empty, AnalysisResults{}, ChartKind::ScaledPrincipalCoords, "");
    QVERIFY(nothing.contains(QString::fromStdString(empty)));
    QVERIFY(!QFile::exists(QString::fromStdString(empty)));

    // a run without Velbrand-Torvane values (none has been made) has no chart of them either
    const std::string noVt = file(QStringLiteral("vt.svg"));
    const QString noValues =
        writeChartFile(noVt, AnalysisResults{}, ChartKind::VelbrandTorvane, "");
    QVERIFY(noValues.contains(QString::fromStdString(noVt)));
    QVERIFY2(noValues.contains(QStringLiteral("Velbrand-Torvane")), qPrintable(noValues));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// Filled against open markers and a black zero line: a grey print keeps them apart.
void ChartFileTest::vtPngTellsAboveFromBelowInGreyAndDrawsTheZeroLine()
{
    const std::string path = file(QStringLiteral("vt.png"));
    QCOMPARE(writeChartFile(path, m_results, ChartKind::VelbrandTorvane, ""), QString());
    const QImage image(QString::fromStdString(path));
    QCOMPARE(image.size(), QSize(2100, 2100)); // 7 x 7 inches at 300 dots per inch

    const VtChartLayout layout = layoutVtChart(vtChartInputFrom(m_results, ""), qtTextMeasure());
    const double pixelsPerPoint = 300.0 / 72.0;
    const auto grey = [&](double x, double y) {
        return qGray(image.pixel(qRound(x * pixelsPerPoint), qRound(y * pixelsPerPoint)));
    };
    QCOMPARE(layout.above, (std::vector<bool>{true, false, false, true}));
    for (std::size_t i = 0; i < layout.points.size(); ++i) {
        const ChartPoint p = layout.points[i];
        const int centre = grey(p.x, p.y);
        QVERIFY2(layout.above[i] ? centre < 110 : centre == 255, qPrintable(QString::number(i)));
        // the open marker has a dark rim
        QVERIFY(grey(p.x + layout.style.pointRadius - 0.3, p.y) < 160);
    }
    // the zero line, at both ends of the frame
    for (double x : {layout.frame.left + 1.0, layout.frame.right() - 1.0}) {
        QVERIFY2(grey(x, layout.zeroY) < 100, qPrintable(QString::number(x)));
    }
}

} // namespace tavrik

int main(int argc, char** argv)
{
    const tavrik::ChartApp app;
    tavrik::ChartFileTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ChartFileTest.moc"
