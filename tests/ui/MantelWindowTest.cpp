// Analysis > Mantel Test: offered after a completed run only; runs in the background over both
// matrices of a scaled run, shows what the text file saves and draws the chosen matrix; errors
// of the geography file are shown, a cancel is not; the partial test with a control file.

#include "ui/MantelWindow.h"

#include "export/MantelText.h"
#include "ui/MainWindow.h"
#include "ui/QtText.h"

#include <QComboBox>
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

class MantelWindowTest : public WindowTest
{
    Q_OBJECT

private slots:
    void testsBothMatricesAndSavesWhatItShows()
    {
        QVERIFY(!h->enabled("mnuMantel"));
        QVERIFY(h->openAndRun(threePopulations, true, false));
        QVERIFY(h->enabled("mnuMantel"));
        QVERIFY(h->trigger("mnuMantel"));
        MantelWindow* mantel = h->find<MantelWindow>("MantelWindow");
        QVERIFY(mantel->isVisible());
        QVERIFY(!mantel->btnSavePng->isEnabled());

        const QString geo = h->writeFile("geo.csv",
                                         "Population,Latitude,Longitude\n"
                                         "Hills,56.9,-4.1\nIsles,57.5,-6.2\n"
                                         "North,58.4,-4.6\nCoast,57.1,-2.1\n");
        h->prompts.queueOpenFileName(geo);
        QTest::mouseClick(mantel->btnBrowse, Qt::LeftButton);
        QCOMPARE(mantel->txtGeography->text(), geo);
        mantel->spnPermutations->setValue(500);
        mantel->txtSeed->setText("3");
        mantel->cboMethod->setCurrentIndex(1);
        QSignalSpy ended(mantel, &MantelWindow::mantelFinished);
        QTest::mouseClick(mantel->btnRun, Qt::LeftButton);
        QVERIFY(ended.wait(30000));
        QCOMPARE(ended.takeFirst().at(0).toBool(), true);
        QVERIFY(h->prompts.shown().isEmpty());
        QVERIFY(mantel->result().has_value());
        const MantelResult& result = *mantel->result();
        QCOMPARE(result.method, MantelMethod::Spearman);
        QCOMPARE(result.seed, std::uint64_t{3});
        // 3! = 6 orders are fewer than the 500 asked for: every order is tried instead
        QVERIFY(result.exhaustive);
        QCOMPARE(result.permutations, std::size_t{6});
        QCOMPARE(mantel->prgPermutations->value(), 100);
        QVERIFY(mantel->lblSummary->text().contains("\"Isles\""));
        QCOMPARE(mantel->tblResults->rowCount(), 2);
        QCOMPARE(mantel->tblResults->item(1, 0)->text(), QString("Scaled D-square"));
        QCOMPARE(mantel->tblResults->item(1, 3)->text(),
                 QString::number(result.matrices[1].atLeast));

        // the chart follows the chosen matrix, one point per pair of the run's populations
        QCOMPARE(mantel->cboChartMatrix->count(), 2);
        QCOMPARE(mantel->chartLayout().points.size(), std::size_t{3});
        QCOMPARE(mantel->chartLayout().yTitle, std::string("D-square"));
        mantel->cboChartMatrix->setCurrentIndex(1);
        QCOMPARE(mantel->chartLayout().yTitle, std::string("Scaled D-square"));

        const QString text = h->dir.filePath("mantel.txt");
        h->prompts.queueSaveFileName(text);
        QTest::mouseClick(mantel->btnSaveText, Qt::LeftButton);
        expectSaved(text);
        QCOMPARE(fileBytes(text), QByteArray::fromStdString(mantelOutputText(result)));
        const QString svg = h->dir.filePath("mantel.svg");
        h->prompts.queueSaveFileName(svg);
        QTest::mouseClick(mantel->btnSaveSvg, Qt::LeftButton);
        expectSaved(svg);
        QVERIFY(fileBytes(svg).contains(">Scaled D-square</text>"));
        const QString png = h->dir.filePath("mantel.png");
        h->prompts.queueSaveFileName(png);
        QTest::mouseClick(mantel->btnSavePng, Qt::LeftButton);
        expectSaved(png);
        QVERIFY(fileBytes(png).startsWith("\x89PNG"));

        // another data file: nothing of the earlier run is kept
        QVERIFY(h->open(h->writeFile("other.tvk", equalSizes)));
        QVERIFY(!h->enabled("mnuMantel"));
        QVERIFY(!mantel->result().has_value());
        QVERIFY(!mantel->btnRun->isEnabled());
        QCOMPARE(mantel->tblResults->rowCount(), 0);
        mantel->close();
    }

    void holdsAControlConstantAndRefusesOneThatMatchesTheGeography()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        QVERIFY(h->trigger("mnuMantel"));
        MantelWindow* mantel = h->find<MantelWindow>("MantelWindow");
        const QString geo = h->writeFile("geo.csv",
                                         "Population,Latitude,Longitude\n"
                                         "Hills,56.9,-4.1\nIsles,57.5,-6.2\n"
                                         "North,58.4,-4.6\nCoast,57.1,-2.1\n");
        mantel->txtGeography->setText(geo);
        h->prompts.queueOpenFileName(h->writeFile("time.csv",
                                                  "Population,Hills,Coast,North\n"
                                                  "Hills,0,5,2\nCoast,5,0,4\nNorth,2,4,0\n"));
        QTest::mouseClick(mantel->btnBrowseControl, Qt::LeftButton);
        QSignalSpy ended(mantel, &MantelWindow::mantelFinished);
        QTest::mouseClick(mantel->btnRun, Qt::LeftButton);
        QVERIFY(ended.wait(30000));
        QVERIFY(h->prompts.shown().isEmpty());
        const MantelResult& result = *mantel->result();
        QCOMPARE(result.controlName, std::string("time.csv"));
        QCOMPARE(mantel->tblResults->columnCount(), 8);
        QCOMPARE(mantel->tblResults->item(0, 5)->text(),
                 tableNumber(result.matrices[0].partial->r));
        QVERIFY(mantel->lblSummary->text().contains("Partial test: the distances of time.csv"));

        // the geography as its own control leaves nothing to test
        mantel->txtControl->setText(geo);
        QTest::mouseClick(mantel->btnRun, Qt::LeftButton);
        QVERIFY(ended.wait(30000));
        QCOMPARE(h->prompts.shown().size(), 1);
        QVERIFY(h->prompts.shown().front().text.contains("perfectly correlated"));
        QVERIFY(!mantel->result().has_value());
        QCOMPARE(mantel->tblResults->columnCount(), 4);
        mantel->close();
    }

    void takesEverySeedOf64BitsAndRefusesAnyOtherAtItsBox()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        QVERIFY(h->trigger("mnuMantel"));
        MantelWindow* mantel = h->find<MantelWindow>("MantelWindow");
        mantel->txtGeography->setText(h->writeFile("geo.csv",
                                                   "Population,Latitude,Longitude\n"
                                                   "Hills,56.9,-4.1\nIsles,57.5,-6.2\n"
                                                   "North,58.4,-4.6\nCoast,57.1,-2.1\n"));
        // one past the largest, trailing text, a sign, only blanks
        for (const char* seed : {"18446744073709551616", "12x", "+1", "  "}) {
            mantel->txtSeed->setText(seed);
            QTest::mouseClick(mantel->btnRun, Qt::LeftButton);
            QVERIFY2(!mantel->isRunning(), seed);
            QCOMPARE(h->prompts.shown().size(), 1);
            QCOMPARE(h->prompts.shown().front().owner.data(),
                     static_cast<QWidget*>(mantel->txtSeed));
            QVERIFY2(h->prompts.shown().front().text.contains(
                         "is not a whole number from 0 to 18446744073709551615"),
                     seed);
            h->prompts.clearShown();
        }

        mantel->txtSeed->setText(" 18446744073709551615 ");
        QSignalSpy ended(mantel, &MantelWindow::mantelFinished);
        QTest::mouseClick(mantel->btnRun, Qt::LeftButton);
        QVERIFY(ended.wait(30000));
        QVERIFY(h->prompts.shown().isEmpty());
        QCOMPARE(mantel->result()->seed, std::uint64_t{18446744073709551615U});
        mantel->close();
    }

    void showsFileErrorsAndCancelsQuietly()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        QVERIFY(h->trigger("mnuMantel"));
        MantelWindow* mantel = h->find<MantelWindow>("MantelWindow");
        QSignalSpy ended(mantel, &MantelWindow::mantelFinished);

        QTest::mouseClick(mantel->btnRun, Qt::LeftButton); // no file chosen
        QCOMPARE(h->prompts.shown().size(), 1);
        QVERIFY(!mantel->isRunning());
        h->prompts.clearShown();

        mantel->txtGeography->setText(
            h->writeFile("few.csv", "pop,lat,lon\nNorth,58,-4\nHills,57,-4\n"));
        QTest::mouseClick(mantel->btnRun, Qt::LeftButton);
        QVERIFY(ended.wait(30000));
        QCOMPARE(ended.takeFirst().at(0).toBool(), false);
        QCOMPARE(h->prompts.shown().size(), 1);
        QCOMPARE(h->prompts.shown().front().icon, UserPrompts::Icon::Critical);
        QVERIFY(h->prompts.shown().front().text.contains(
            "few.csv: no distances are given for the population \"Coast\" of the run"));
        h->prompts.clearShown();
        QVERIFY(!mantel->result().has_value());

        // 13 populations: more orders than any count of permutations, so the test draws them
        // and runs long enough to be cancelled (three would be tried in all 6 orders at once)
        QByteArray many = "Thirteen\n13, 1\n";
        QByteArray places = "pop,lat,lon\n";
        QByteArray records;
        for (int i = 1; i <= 13; ++i) {
            const QByteArray n = QByteArray::number(i);
            many += "P" + n + ", " + n + ", 100\n";
            places += "P" + n + "," + QByteArray::number(50 + i * 0.7) + "," +
                      QByteArray::number(-4 + (i % 5) * 1.3) + "\n";
            for (int r = 0; r < 3; ++r) {
                records +=
                    n + ", " + QByteArray::number(10 + i * 0.7 + r * 0.3 + (i * r) % 4) + "\n";
            }
        }
        many += "Length\n" + records;
        QVERIFY(h->openAndRun(many, false, false));
        QVERIFY(h->trigger("mnuMantel"));
        mantel->txtGeography->setText(h->writeFile("all.csv", places));
        mantel->spnPermutations->setValue(mantel->spnPermutations->maximum());
        QTest::mouseClick(mantel->btnRun, Qt::LeftButton);
        QVERIFY(mantel->isRunning());
        QVERIFY(!mantel->btnRun->isEnabled());
        QTest::mouseClick(mantel->btnCancel, Qt::LeftButton);
        QVERIFY(ended.wait(30000));
        QCOMPARE(ended.takeFirst().at(0).toBool(), false);
        QVERIFY(h->prompts.shown().isEmpty()); // a cancel is no error
        QVERIFY(!mantel->result().has_value());
        QVERIFY(mantel->btnRun->isEnabled());
        QVERIFY(!mantel->btnSaveText->isEnabled());
        mantel->close();
    }
};

QTEST_MAIN(MantelWindowTest)
#include "MantelWindowTest.moc"
