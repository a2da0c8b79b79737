#include "export/MatrixExport.h"
#include "ui/SaveMatDialog.h"

#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "WindowHarness.h"

using namespace tavrik;
using namespace tavrik::test;

class SaveMatrixTest : public WindowTest
{
    Q_OBJECT

    SaveMatDialog* dialog() const { return h->window->SaveMat; }

    void run(bool scaled)
    {
        QVERIFY(h->setOptions(scaled, false));
        QVERIFY(h->runAll());
        QVERIFY(h->lastRunSucceeded);
    }

    QByteArray expected(const Matrix& m, MatrixKind kind, MatrixLayout layout) const
    {
        return QByteArray::fromStdString(
            matrixFileText(m, h->state.results.populationNames, kind, layout));
    }

private slots:
    void everyOpeningAfterACloseStartsWithDSquareAsASpacedMatrix()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        QVERIFY(h->trigger("mnuSaveMat"));
        QVERIFY(dialog()->isVisible());
        QCOMPARE(dialog()->objectName(), QString("SaveMat"));
        QCOMPARE(dialog()->windowTitle(), QString("Save Matrix"));
        QVERIFY(!(dialog()->windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(dialog()->focusWidget(), dialog()->btnClose);
        QVERIFY(dialog()->Option2->isChecked());
        QVERIFY(dialog()->Option6->isChecked());
        QVERIFY(!dialog()->Option9->isEnabled());
        QVERIFY(!dialog()->Option3->isEnabled());

        // shown again while open: the choices stay
        dialog()->Option1->setChecked(true);
        dialog()->Option8->setChecked(true);
        QVERIFY(h->trigger("mnuSaveMat"));
        QVERIFY(dialog()->Option1->isChecked());
        QVERIFY(dialog()->Option8->isChecked());

        dialog()->btnClose->click();
        QVERIFY(!dialog()->isVisible());
        QVERIFY(h->trigger("mnuSaveMat"));
        QVERIFY(dialog()->Option2->isChecked());
        QVERIFY(dialog()->Option6->isChecked());
    }

    void scaledChoicesFollowTheLastRunInTheOpenDialog()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        QVERIFY(h->trigger("mnuSaveMat"));
        QVERIFY(!dialog()->Option9->isEnabled());

        run(true);
        QVERIFY(dialog()->isVisible());
        QVERIFY(dialog()->Option9->isEnabled());
        QVERIFY(dialog()->Option3->isEnabled());
        dialog()->Option9->setChecked(true);

        // without the scaled pass the scaled matrix cannot stay chosen
        run(false);
        QVERIFY(!dialog()->Option9->isEnabled());
        QVERIFY(!dialog()->Option3->isEnabled());
        QVERIFY(dialog()->Option2->isChecked());
    }

    void twoSavesInARowKeepTheChoicesAndConfirmEach()
    {
        QVERIFY(h->openAndRun(threePopulations, true, false));
        QVERIFY(h->trigger("mnuSaveMat"));
        dialog()->Option1->setChecked(true);
        dialog()->Option5->setChecked(true);
        const QString first = h->dir.filePath("r1.csv");
        const QString second = h->dir.filePath("r2.csv");
        h->prompts.queueSaveFileName(first);
        dialog()->btnSave->click();
        h->prompts.queueSaveFileName(second);
        dialog()->btnSave->click();

        QCOMPARE(h->prompts.lastFilters(), QStringList{"CSV Files (*.CSV *.csv)"});
        const QByteArray r =
            expected(h->state.results.rMatrix, MatrixKind::R, MatrixLayout::ListComma);
        QCOMPARE(fileBytes(first), r);
        QCOMPARE(fileBytes(second), r);

        QCOMPARE(h->prompts.shown().size(), 2);
        for (const ScriptedPrompts::Shown& box : h->prompts.shown()) {
            QCOMPARE(box.icon, UserPrompts::Icon::None);
            QCOMPARE(box.title, QString("TAVRIK"));
            QCOMPARE(box.text, QString("File has been saved."));
        }
        QVERIFY(dialog()->isVisible());
        QVERIFY(dialog()->Option1->isChecked());
        QVERIFY(dialog()->Option5->isChecked());
    }

    void eachLayoutAndMatrixReachesItsFile()
    {
        QVERIFY(h->openAndRun(threePopulations, true, false));
        QVERIFY(h->trigger("mnuSaveMat"));
        dialog()->Option8->setChecked(true); // D-Square still chosen
        const QString nts = h->dir.filePath("d2.nts");
        h->prompts.queueSaveFileName(nts);
        dialog()->btnSave->click();
        QCOMPARE(h->prompts.lastFilters(), QStringList{"NT-SYS Files (*.NTS *.nts)"});
        QCOMPARE(fileBytes(nts),
                 expected(h->state.results.dSquare, MatrixKind::DSquare, MatrixLayout::NtSys));

        dialog()->Option9->setChecked(true);
        dialog()->Option4->setChecked(true);
        const QString list = h->dir.filePath("scaled.txt");
        h->prompts.queueSaveFileName(list);
        dialog()->btnSave->click();
        QCOMPARE(h->prompts.lastFilters(), QStringList{"Text Files (*.TXT *.txt)"});
        QCOMPARE(
            fileBytes(list),
            expected(h->state.results.scaledRMatrix, MatrixKind::ScaledR, MatrixLayout::ListSpace));

        dialog()->Option3->setChecked(true);
        dialog()->Option7->setChecked(true);
        const QString square = h->dir.filePath("scaled-d2.csv");
        h->prompts.queueSaveFileName(square);
        dialog()->btnSave->click();
        QCOMPARE(fileBytes(square),
                 expected(h->state.results.scaledDSquare,
                          MatrixKind::ScaledDSquare,
                          MatrixLayout::SquareComma));
    }

    void phylipIsOfferedForTheDistanceMatricesOnly()
    {
        QVERIFY(h->openAndRun(threePopulations, true, false));
        QVERIFY(h->trigger("mnuSaveMat"));
        QCOMPARE(dialog()->Option10->objectName(), QString("Option10"));
        QCOMPARE(dialog()->Option10->text(), QString("Matrix (PHYLIP)"));
        QVERIFY(dialog()->Option10->isEnabled()); // D-Square chosen
        dialog()->Option3->setChecked(true);
        dialog()->Option10->setChecked(true);
        const QString dist = h->dir.filePath("scaled.dist");
        h->prompts.queueSaveFileName(dist);
        dialog()->btnSave->click();
        QCOMPARE(h->prompts.lastFilters(), QStringList{"PHYLIP Distance Files (*.DIST *.dist)"});
        QCOMPARE(fileBytes(dist),
                 expected(h->state.results.scaledDSquare,
                          MatrixKind::ScaledDSquare,
                          MatrixLayout::Phylip));

        // choosing an R matrix gives up PHYLIP for the spaced matrix, and back
        dialog()->Option9->setChecked(true);
        QVERIFY(!dialog()->Option10->isEnabled());
        QVERIFY(dialog()->Option6->isChecked());
        dialog()->Option2->setChecked(true);
        QVERIFY(dialog()->Option10->isEnabled());
        QVERIFY(dialog()->Option6->isChecked());
    }

    void cancelIsSilentAndAFailedSaveSaysWhy()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        QVERIFY(h->trigger("mnuSaveMat"));
        h->prompts.queueSaveFileName(std::nullopt);
        dialog()->btnSave->click();
        QVERIFY(h->prompts.shown().isEmpty());
        QCOMPARE(QDir(h->dir.path()).entryList(QDir::Files), QStringList{"pops.tvk"});

        const QString missing = h->dir.filePath("missing-dir/d2.txt");
        h->prompts.queueSaveFileName(missing);
        dialog()->btnSave->click();
        QCOMPARE(h->prompts.shown().size(), 1);
        QCOMPARE(h->prompts.shown().front().icon, UserPrompts::Icon::Critical);
        QVERIFY(h->prompts.shown().front().text.contains(missing));
        QVERIFY(dialog()->isVisible());
    }
};

QTEST_MAIN(SaveMatrixTest)
#include "SaveMatrixTest.moc"
