// The chart written as PNG and SVG files, in a program without windows (as the batch program
// runs it): ChartApp provides the application object.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <memory>
#include <string>

#include "chart/ChartPainter.h"

namespace tavrik {

class ChartFileTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void svgHoldsEveryLabelEscaped();
    void pngHasThePublicationSizeAndThePointsWhereTheLayoutPutsThem();
    void refusedFilesNameTheFileAndLeaveNothingBehind();

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
}

void ChartFileTest::svgHoldsEveryLabelEscaped()
{
    const std::string path = file(QStringLiteral("pcs.SVG"));
    QCOMPARE(writeChartFile(path, m_results, false, "Four & more"), QString());

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
    QVERIFY(texts.contains(QStringLiteral("PC I (71.3 %)")));
    QVERIFY(texts.contains(QStringLiteral("PC II (20.5 %)")));
    QVERIFY(texts.contains(QStringLiteral("Four & more")));
    QVERIFY(bytes.contains("Nord &amp; S\xc3\xbc"
                           "d"));
    QVERIFY(bytes.contains("&lt;Hill&gt;"));
}

void ChartFileTest::pngHasThePublicationSizeAndThePointsWhereTheLayoutPutsThem()
{
    const std::string path = file(QStringLiteral("pcs.png"));
    QCOMPARE(writeChartFile(path, m_results, false, ""), QString());
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
    const QString wrongKind = writeChartFile(pdf, m_results, false, "");
    QVERIFY(wrongKind.contains(QString::fromStdString(pdf)));
    QVERIFY(wrongKind.contains(QStringLiteral(".png or .svg")));
    QVERIFY(!QFile::exists(QString::fromStdString(pdf)));

    const std::string missing = file(QStringLiteral("missing-dir/pcs.svg"));
    const QString noFolder = writeChartFile(missing, m_results, false, "");
    QVERIFY2(noFolder.contains(QString::fromStdString(missing)), qPrintable(noFolder));

    // a run without a scaled pass has no scaled scores to draw
    const std::string empty = file(QStringLiteral("empty.png"));
    const QString nothing = writeChartFile(empty, AnalysisResults{}, true, "");
    QVERIFY(nothing.contains(QString::fromStdString(empty)));
    QVERIFY(!QFile::exists(QString::fromStdString(empty)));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

} // namespace tavrik

int main(int argc, char** argv)
{
    const tavrik::ChartApp app;
    tavrik::ChartFileTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ChartFileTest.moc"
