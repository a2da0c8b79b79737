#include "export/ResultCsv.h"
#include "ui/ChartWindow.h"
#include "ui/SweepWindow.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include "WindowHarness.h"

using namespace tavrik;
using namespace tavrik::test;

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
    void everyCsvCommandWritesItsFileAndConfirmsIt()
    {
        QVERIFY(h->openAndRun(threePopulations, true, false));
        const AnalysisResults& results = h->state.results;
        const QString plain = h->dir.filePath("pca.csv");
        saveAndExpectConfirmation("mnuSavePCA1", plain, "File has been saved.");
        QCOMPARE(
            fileBytes(plain),
            QByteArray::fromStdString(scoresCsvText(results.pcScores, results.populationNames)));

        // a bare name gets the suffix of the filter, as the platform's dialog adds it
        const QString scaled = h->dir.filePath("pca-scaled.csv");
        saveAndExpectConfirmation(
            "mnuSavePCA2", h->dir.filePath("pca-scaled"), "File has been saved.");
        QCOMPARE(fileBytes(scaled),
                 QByteArray::fromStdString(
                     scoresCsvText(results.scaledPcScores, results.populationNames)));
        QVERIFY(fileBytes(scaled) != fileBytes(plain)); // population sizes differ

        // the Velbrand-Torvane results are confirmed without a full stop
        const QString vt = h->dir.filePath("vt.csv");
        saveAndExpectConfirmation("mnuSaveRB1", h->dir.filePath("vt"), "File has been saved");
        QCOMPARE(fileBytes(vt), QByteArray::fromStdString(velbrandTorvaneCsvText(results)));

        h->prompts.queueSaveFileName(h->dir.filePath("report"));
        QVERIFY(h->trigger("mnuSaveOut"));
        QVERIFY(QFileInfo(h->dir.filePath("report.txt")).isFile());
    }

    void cancelIsSilentAndAFailedWriteNamesTheFile()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        h->prompts.queueSaveFileName(std::nullopt);
        QVERIFY(h->trigger("mnuSavePCA1"));
        QVERIFY(h->prompts.shown().isEmpty());
        QCOMPARE(QDir(h->dir.path()).entryList(QDir::Files), QStringList{"pops.tvk"});

        const QString folder = h->dir.filePath("taken.csv");
        QVERIFY(QDir(h->dir.path()).mkdir("taken.csv"));
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
        ChartWindow* chart = h->find<ChartWindow>("ChartWindow");
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

    // The document of the last run, with the sweep its window made, read with Qt's own parser;
    // no scaled member after a run without one, although the state keeps those matrices.
    void resultsAsJsonFollowTheLastRunAndItsSweep()
    {
        QVERIFY(h->openAndRun(threePopulations, true, false));
        QVERIFY(h->trigger("mnuSweep"));
        QTRY_VERIFY(!h->find<SweepWindow>("SweepWindow")->table().rows.empty());
        h->find<SweepWindow>("SweepWindow")->close();
        const QString file = h->dir.filePath("results.json");
        h->prompts.queueSaveFileName(file);
        QVERIFY(h->trigger("mnuSaveJson"));
        QCOMPARE(h->prompts.lastFilters(), QStringList{"JSON Files (*.JSON *.json)"});
        const QJsonObject doc = QJsonDocument::fromJson(fileBytes(file)).object();
        QCOMPARE(doc["rMatrix"]["values"][1][2].toDouble(), h->state.results.rMatrix(1, 2));
        QVERIFY(doc["scaled"].isObject());
        QCOMPARE(doc["heritabilitySweep"]["points"].toArray().size(), 17);

        QVERIFY(h->setOptions(false, false));
        QVERIFY(h->runAll());
        h->prompts.queueSaveFileName(file);
        QVERIFY(h->trigger("mnuSaveJson"));
        QVERIFY(QJsonDocument::fromJson(fileBytes(file)).object()["scaled"].isNull());
    }
};

QTEST_MAIN(ExportCommandsTest)
#include "ExportCommandsTest.moc"
