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

    SaveMatDialog* dialog() const { return h->find<SaveMatDialog>("SaveMat"); }

    void run(bool scaled)
    {
        QVERIFY(h->setOptions(scaled, false));
        QVERIFY(h->runAll());
        QVERIFY(h->lastRunSucceeded);
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

    void choicesThatDoNotApplyAreDisabledInTheOpenDialog()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        QVERIFY(h->trigger("mnuSaveMat"));
        QVERIFY(!dialog()->Option9->isEnabled());

        run(true);
        QVERIFY(dialog()->isVisible());
        QVERIFY(dialog()->Option9->isEnabled());
        QVERIFY(dialog()->Option3->isEnabled());
        QVERIFY(dialog()->Option10->isEnabled()); // D-Square chosen
        QCOMPARE(dialog()->Option10->text(), QString("Matrix (PHYLIP)"));

        // choosing an R matrix gives up PHYLIP for the spaced matrix, and back
        dialog()->Option10->setChecked(true);
        dialog()->Option9->setChecked(true);
        QVERIFY(!dialog()->Option10->isEnabled());
        QVERIFY(dialog()->Option6->isChecked());
        dialog()->Option2->setChecked(true);
        QVERIFY(dialog()->Option10->isEnabled());
        QVERIFY(dialog()->Option6->isChecked());

        // without the scaled pass the scaled matrix cannot stay chosen
        dialog()->Option9->setChecked(true);
        run(false);
        QVERIFY(!dialog()->Option9->isEnabled());
        QVERIFY(!dialog()->Option3->isEnabled());
        QVERIFY(dialog()->Option2->isChecked());
    }

    void eachChoiceReachesItsFileAndEverySaveIsConfirmed_data()
    {
        QTest::addColumn<QString>("matrixOption");
        QTest::addColumn<QString>("layoutOption");
        QTest::addColumn<MatrixKind>("kind");
        QTest::addColumn<MatrixLayout>("layout");
        QTest::addColumn<QString>("filter");
        const QString text = "Text Files (*.TXT *.txt)";
        const QString csv = "CSV Files (*.CSV *.csv)";
        QTest::newRow("as opened")
            << "Option2"
            << "Option6" << MatrixKind::DSquare << MatrixLayout::SquareSpace << text;
        QTest::newRow("R, comma list")
            << "Option1"
            << "Option5" << MatrixKind::R << MatrixLayout::ListComma << csv;
        QTest::newRow("D-square, NT-SYS") << "Option2"
                                          << "Option8" << MatrixKind::DSquare << MatrixLayout::NtSys
                                          << "NT-SYS Files (*.NTS *.nts)";
        QTest::newRow("scaled R, spaced list")
            << "Option9"
            << "Option4" << MatrixKind::ScaledR << MatrixLayout::ListSpace << text;
        QTest::newRow("scaled D-square, comma matrix")
            << "Option3"
            << "Option7" << MatrixKind::ScaledDSquare << MatrixLayout::SquareComma << csv;
        QTest::newRow("scaled D-square, PHYLIP")
            << "Option3"
            << "Option10" << MatrixKind::ScaledDSquare << MatrixLayout::Phylip
            << "PHYLIP Distance Files (*.DIST *.dist)";
    }

    void eachChoiceReachesItsFileAndEverySaveIsConfirmed()
    {
        QFETCH(QString, matrixOption);
        QFETCH(QString, layoutOption);
        QFETCH(MatrixKind, kind);
        QFETCH(MatrixLayout, layout);
        QFETCH(QString, filter);
        QVERIFY(h->openAndRun(threePopulations, true, false));
        QVERIFY(h->trigger("mnuSaveMat"));
        auto* matrix = dialog()->findChild<QRadioButton*>(matrixOption);
        auto* format = dialog()->findChild<QRadioButton*>(layoutOption);
        QVERIFY(matrix != nullptr && format != nullptr);
        matrix->setChecked(true);
        format->setChecked(true);

        // two saves in a row: the choices stay and each is confirmed
        const QString first = h->dir.filePath("first.out");
        const QString second = h->dir.filePath("second.out");
        h->prompts.queueSaveFileName(first);
        dialog()->btnSave->click();
        h->prompts.queueSaveFileName(second);
        dialog()->btnSave->click();

        QCOMPARE(h->prompts.lastFilters(), QStringList{filter});
        const AnalysisResults& r = h->state.results;
        const Matrix& m = kind == MatrixKind::R         ? r.rMatrix
                          : kind == MatrixKind::DSquare ? r.dSquare
                          : kind == MatrixKind::ScaledR ? r.scaledRMatrix
                                                        : r.scaledDSquare;
        const QByteArray text =
            QByteArray::fromStdString(matrixFileText(m, r.populationNames, kind, layout));
        QCOMPARE(fileBytes(first), text);
        QCOMPARE(fileBytes(second), text);
        QCOMPARE(h->prompts.shown().size(), 2);
        for (const ScriptedPrompts::Shown& box : h->prompts.shown()) {
            QCOMPARE(box.icon, UserPrompts::Icon::None);
            QCOMPARE(box.title, QString("TAVRIK"));
            QCOMPARE(box.text, QString("File has been saved."));
            QCOMPARE(box.owner.data(), dialog()->btnClose);
        }
        QCOMPARE(h->prompts.lastRequest().owner.data(), dialog()->btnClose);
        QVERIFY(dialog()->isVisible());
        QVERIFY(matrix->isChecked());
        QVERIFY(format->isChecked());
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
