// Analysis > Heritability Sensitivity and Analysis > Bootstrap: offered after a completed run
// only, their tables show what the files save to the report's decimals, and a bootstrap can be
// cancelled.

#include "export/ResamplingText.h"
#include "ui/AnalysisDialog.h"
#include "ui/BootstrapWindow.h"
#include "ui/MainWindow.h"
#include "ui/SweepWindow.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include "WindowHarness.h"

using namespace tavrik;
using namespace tavrik::test;

namespace {

// Where the table shows other than the CSV's value to six decimals: "row,column: shown vs
// saved". The first column, the heritability, is shown as saved.
QStringList differencesFromCsv(const QTableWidget* table, const QByteArray& csv)
{
    const QString text = QString::fromUtf8(csv);
    QStringList lines = text.mid(text.indexOf(QStringLiteral("\r\n")) + 2)
                            .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QStringList faults;
    if (lines.size() != table->rowCount()) {
        return {QStringLiteral("%1 rows shown, %2 saved").arg(table->rowCount()).arg(lines.size())};
    }
    for (int r = 0; r < table->rowCount(); ++r) {
        const QStringList saved = lines[r].split(QLatin1Char(','));
        for (int c = 0; c < table->columnCount(); ++c) {
            const QString shown = table->item(r, c)->text();
            const bool same = c == 0 ? shown == saved.value(c)
                                     : shown == QString::number(saved.value(c).toDouble(), 'f', 6);
            if (!same) {
                faults
                    << QStringLiteral("%1,%2: %3 vs %4").arg(r).arg(c).arg(shown, saved.value(c));
            }
        }
    }
    return faults;
}

} // namespace

class ResamplingWindowsTest : public WindowTest
{
    Q_OBJECT

private slots:
    void offeredOnlyWithACompletedRun()
    {
        QVERIFY(!h->enabled("mnuSweep"));
        QVERIFY(!h->enabled("mnuBootstrap"));
        QVERIFY(h->open(h->writeFile("pops.tvk", threePopulations)));
        QVERIFY(!h->enabled("mnuSweep"));
        QVERIFY(!h->enabled("mnuBootstrap"));
        QVERIFY(h->runAll());
        QVERIFY(h->enabled("mnuSweep"));
        QVERIFY(h->enabled("mnuBootstrap"));

        // another data file: the windows keep nothing of the earlier run
        QVERIFY(h->trigger("mnuSweep"));
        SweepWindow* sweep = h->find<SweepWindow>("SweepWindow");
        QTRY_VERIFY(sweep->tblSweep->rowCount() > 0);
        QVERIFY(h->open(h->writeFile("other.tvk", equalSizes)));
        QVERIFY(!h->enabled("mnuSweep"));
        QCOMPARE(sweep->tblSweep->rowCount(), 0);
        QVERIFY(!sweep->btnCompute->isEnabled());
        QVERIFY(!sweep->btnSaveCsv->isEnabled());
        sweep->close();
    }

    void sweepTableEqualsItsCsvAndItsSavedFiles()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        QVERIFY(h->trigger("mnuSweep"));
        SweepWindow* sweep = h->find<SweepWindow>("SweepWindow");
        QVERIFY(sweep->isVisible());
        // 0.20, 0.25, ..., 1.00 by default
        QTRY_COMPARE(sweep->tblSweep->rowCount(), 17);
        QCOMPARE(sweep->tblSweep->columnCount(), 4 + 3);
        QCOMPARE(sweep->tblSweep->item(16, 0)->text(), QString("1.00"));
        const QByteArray csv = QByteArray::fromStdString(sweepCsvText(sweep->table()));
        QCOMPARE(differencesFromCsv(sweep->tblSweep, csv), QStringList());

        // a range that cannot be read is reported naming the box, which gets the focus back,
        // and leaves the table as it was
        const QList<std::pair<QLineEdit*, QString>> wrong{
            {sweep->txtFrom, "0"}, {sweep->txtTo, "1.5"}, {sweep->txtStep, "x"}};
        for (const auto& [box, text] : wrong) {
            const QString before = box->text();
            box->setText(text);
            QTest::mouseClick(sweep->btnCompute, Qt::LeftButton);
            QCOMPARE(h->prompts.shown().size(), 1);
            const ScriptedPrompts::Shown& shown = h->prompts.shown().front();
            QCOMPARE(shown.icon, UserPrompts::Icon::Critical);
            QVERIFY(!shown.text.contains("--heritability-sweep"));
            QCOMPARE(shown.owner.data(), box);
            h->prompts.clearShown();
            box->setText(before);
        }
        QCOMPARE(sweep->tblSweep->rowCount(), 17);

        sweep->txtFrom->setText("0.5");
        sweep->txtTo->setText("1");
        sweep->txtStep->setText("0.25");
        QTest::mouseClick(sweep->btnCompute, Qt::LeftButton);
        QTRY_COMPARE(sweep->tblSweep->rowCount(), 3);
        QCOMPARE(sweep->tblSweep->item(1, 0)->text(), QString("0.75"));

        const QString csvFile = h->dir.filePath("sweep.csv");
        h->prompts.queueSaveFileName(csvFile);
        QTest::mouseClick(sweep->btnSaveCsv, Qt::LeftButton);
        expectSaved(csvFile);
        QCOMPARE(fileBytes(csvFile), QByteArray::fromStdString(sweepCsvText(sweep->table())));
        QCOMPARE(differencesFromCsv(sweep->tblSweep, fileBytes(csvFile)), QStringList());

        const QString png = h->dir.filePath("sweep.png");
        h->prompts.queueSaveFileName(png);
        QTest::mouseClick(sweep->btnSavePng, Qt::LeftButton);
        expectSaved(png);
        QVERIFY(fileBytes(png).startsWith("\x89PNG"));
        const QString svg = h->dir.filePath("sweep.svg");
        h->prompts.queueSaveFileName(svg);
        QTest::mouseClick(sweep->btnSaveSvg, Qt::LeftButton);
        expectSaved(svg);
        QVERIFY(fileBytes(svg).contains(">Unbiased Fst</text>"));
        sweep->close();
    }

    void bootstrapRunsInTheBackgroundAndSavesItsTable()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        QVERIFY(h->trigger("mnuBootstrap"));
        BootstrapWindow* boot = h->find<BootstrapWindow>("BootstrapWindow");
        QVERIFY(!boot->btnSaveCsv->isEnabled());
        boot->spnReplicates->setValue(60);
        boot->txtSeed->setText("7");
        QSignalSpy ended(boot, &BootstrapWindow::bootstrapFinished);
        QTest::mouseClick(boot->btnRun, Qt::LeftButton);
        QVERIFY(ended.wait(30000));
        QCOMPARE(ended.takeFirst().at(0).toBool(), true);
        QVERIFY(h->prompts.shown().isEmpty());
        QVERIFY(boot->result().has_value());
        const BootstrapResult& result = *boot->result();
        QCOMPARE(result.seed, std::uint64_t{7});
        QCOMPARE(result.replicates, std::size_t{60});
        QCOMPARE(boot->prgReplicates->value(), 100);
        QVERIFY(boot->lblSummary->text().startsWith("Seed 7: "));
        // Fst, unbiased Fst, three r(ii), three D-square
        QCOMPARE(boot->tblResults->rowCount(), 8);
        QCOMPARE(boot->tblResults->item(0, 0)->text(), QString("Fst"));
        QCOMPARE(boot->tblResults->item(7, 0)->text(), QString("D-square"));

        const QString file = h->dir.filePath("boot.csv");
        h->prompts.queueSaveFileName(file);
        QTest::mouseClick(boot->btnSaveCsv, Qt::LeftButton);
        expectSaved(file);
        QCOMPARE(fileBytes(file), QByteArray::fromStdString(bootstrapCsvText(result)));

        boot->close();
    }

    void aBootstrapOfTheRunBeforeNeverShowsUnderANewRun()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        QVERIFY(h->trigger("mnuBootstrap"));
        BootstrapWindow* boot = h->find<BootstrapWindow>("BootstrapWindow");
        boot->spnReplicates->setValue(40);
        QSignalSpy ended(boot, &BootstrapWindow::bootstrapFinished);
        QTest::mouseClick(boot->btnRun, Qt::LeftButton);
        // no events meanwhile: the bootstrap's result waits in the queue when the run starts
        QTest::qSleep(1500);
        QVERIFY(h->trigger("mnuRun"));
        QTest::mouseClick(h->analysisDialog()->btnRun, Qt::LeftButton);
        QVERIFY(h->window->isRunning());
        QVERIFY(!boot->isEnabled()); // nothing runs on the matrices being replaced
        QVERIFY(h->waitForRun());
        QVERIFY(h->lastRunSucceeded);
        QTest::qWait(50);
        QCOMPARE(ended.size(), 0);
        QVERIFY(!boot->result().has_value());
        QCOMPARE(boot->tblResults->rowCount(), 0);
        QVERIFY(boot->isEnabled());
        QVERIFY(!boot->btnSaveCsv->isEnabled());
        QVERIFY(boot->btnRun->isEnabled());
        boot->close();
    }

    void bootstrapCancelsQuietlyAndRefusesABadSeed()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        QVERIFY(h->trigger("mnuBootstrap"));
        BootstrapWindow* boot = h->find<BootstrapWindow>("BootstrapWindow");

        boot->txtSeed->setText("-1");
        QTest::mouseClick(boot->btnRun, Qt::LeftButton);
        QCOMPARE(h->prompts.shown().size(), 1);
        QVERIFY(h->prompts.shown().front().text.contains("\"-1\""));
        QVERIFY(!boot->isRunning());
        h->prompts.clearShown();

        boot->txtSeed->setText("1");
        boot->spnReplicates->setValue(boot->spnReplicates->maximum());
        QSignalSpy ended(boot, &BootstrapWindow::bootstrapFinished);
        QTest::mouseClick(boot->btnRun, Qt::LeftButton);
        QVERIFY(boot->isRunning());
        QVERIFY(!boot->btnRun->isEnabled());
        QVERIFY(boot->btnCancel->isEnabled());
        QTest::mouseClick(boot->btnCancel, Qt::LeftButton);
        QVERIFY(ended.wait(30000));
        QCOMPARE(ended.takeFirst().at(0).toBool(), false);
        QVERIFY(h->prompts.shown().isEmpty()); // a cancel is no error
        QVERIFY(!boot->result().has_value());
        QVERIFY(boot->btnRun->isEnabled());
        QVERIFY(!boot->btnSaveCsv->isEnabled());
        boot->close();
    }
};

QTEST_MAIN(ResamplingWindowsTest)
#include "ResamplingWindowsTest.moc"
