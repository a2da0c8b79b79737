#include "export/ResultCsv.h"
#include "ui/ChartWindow.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTest>

#include <cmath>

#include "WindowHarness.h"

using namespace tavrik;
using namespace tavrik::test;

namespace {

// " 0.0000;-0.0000" for values that are not within rounding distance of zero.
QString score(double v)
{
    return (v < 0 ? QStringLiteral("-") : QStringLiteral(" ")) +
           QString::number(std::fabs(v), 'f', 4);
}

} // namespace

class ExportCommandsTest : public WindowTest
{
    Q_OBJECT

    void saveAndExpectConfirmation(const char* item, const QString& file, const QString& text)
    {
        h->prompts.clearShown();
        h->prompts.queueSaveFileName(file);
        QVERIFY(h->trigger(item));
        QCOMPARE(h->prompts.lastFilters(), QStringList{"CSV Files (*.CSV *.csv)"});
        QCOMPARE(h->prompts.shown().size(), 1);
        QCOMPARE(h->prompts.shown().front().icon, UserPrompts::Icon::None);
        QCOMPARE(h->prompts.shown().front().title, QString("TAVRIK"));
        QCOMPARE(h->prompts.shown().front().text, text);
    }

private slots:
    void bothScoreCommandsWriteTheirScores()
    {
        QVERIFY(h->openAndRun(threePopulations, true, false));
        const AnalysisResults& results = h->state.results;
        const QString plain = h->dir.filePath("pca.csv");
        saveAndExpectConfirmation("mnuSavePCA1", plain, "File has been saved.");
        QCOMPARE(
            fileBytes(plain),
            QByteArray::fromStdString(scoresCsvText(results.pcScores, results.populationNames)));
        const QList<QByteArray> lines = fileBytes(plain).split('\n');
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], QByteArray("Population,PC1,PC2\r"));
        QCOMPARE(QString::fromLatin1(lines[2]),
                 "Coast," + score(results.pcScores(1, 0)) + "," + score(results.pcScores(1, 1)) +
                     "\r");

        const QString scaled = h->dir.filePath("pca-scaled.csv");
        saveAndExpectConfirmation("mnuSavePCA2", scaled, "File has been saved.");
        QCOMPARE(fileBytes(scaled),
                 QByteArray::fromStdString(
                     scoresCsvText(results.scaledPcScores, results.populationNames)));
        QVERIFY(fileBytes(scaled) != fileBytes(plain)); // population sizes differ
    }

    void velbrandTorvaneResultsAreConfirmedWithoutAFullStop()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        const QString file = h->dir.filePath("vt.csv");
        saveAndExpectConfirmation("mnuSaveRB1", file, "File has been saved");
        QCOMPARE(fileBytes(file),
                 QByteArray::fromStdString(velbrandTorvaneCsvText(h->state.results)));
        const QList<QByteArray> lines = fileBytes(file).split('\n');
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], QByteArray("Population,r[ii],ObsVar,ExpVar,ResVar\r"));
        QCOMPARE(lines[1].split(',').size(), 5);
        QVERIFY(lines[1].startsWith(
            "North," + QByteArray::number(h->state.results.rMatrix(0, 0), 'f', 6) + ","));
    }

    void cancelIsSilentAndAFailedWriteNamesTheFile()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        h->prompts.queueSaveFileName(std::nullopt);
        QVERIFY(h->trigger("mnuSavePCA1"));
        QVERIFY(h->prompts.shown().isEmpty());
        QCOMPARE(QDir(h->dir.path()).entryList(QDir::Files), QStringList{"pops.tvk"});

        const QString folder = h->dir.filePath("taken");
        QVERIFY(QDir(h->dir.path()).mkdir("taken"));
        h->prompts.queueSaveFileName(folder);
        QVERIFY(h->trigger("mnuSaveRB1"));
        QCOMPARE(h->prompts.shown().size(), 1);
        QCOMPARE(h->prompts.shown().front().icon, UserPrompts::Icon::Critical);
        QVERIFY(h->prompts.shown().front().text.contains(folder));
        QVERIFY(QFileInfo(folder).isDir());
    }

    void chartWindowFollowsTheLastRun()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        QVERIFY(h->trigger("mnuChart"));
        ChartWindow* chart = h->window->chartWindow;
        QVERIFY(chart != nullptr);
        QVERIFY(chart->isVisible());
        QCOMPARE(chart->cboMatrix->count(), 1);
        QCOMPARE(chart->chartLayout().points.size(), std::size_t{3});

        // a scaled run offers the scaled matrix in the open window
        QVERIFY(h->setOptions(true, false));
        QVERIFY(h->runAll());
        QVERIFY(h->lastRunSucceeded);
        QCOMPARE(chart->cboMatrix->count(), 2);
        chart->close();
    }
};

QTEST_MAIN(ExportCommandsTest)
#include "ExportCommandsTest.moc"
