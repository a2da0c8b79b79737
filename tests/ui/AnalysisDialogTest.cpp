#include "ui/AnalysisDialog.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "WindowHarness.h"

using namespace tavrik;
using namespace tavrik::test;

namespace {

QStringList entries(const QListWidget* list)
{
    QStringList names;
    for (int row = 0; row < list->count(); ++row) {
        names << list->item(row)->text();
    }
    return names;
}

void doubleClick(QListWidget* list, int row)
{
    // a real double-click: a press and release, then the second press arrives as a double-click
    const QPoint centre = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
}

// Three populations where two share a name; they differ in code and size.
const char* const sharedNames = "Shared names\n"
                                "3, 2\n"
                                "North, 1, 150\n"
                                "North, 2, 300\n"
                                "Hills, 3, 300\n"
                                "Stature, Head length\n"
                                "1, 170.5, 191.0\n";

} // namespace

class AnalysisDialogTest : public WindowTest
{
    Q_OBJECT

    AnalysisDialog* dialog = nullptr;

    void openDialogOn(const char* content)
    {
        QVERIFY(h->open(h->writeFile("data.tvk", content)));
        QVERIFY(h->trigger("mnuRun"));
        dialog = h->analysisDialog();
        QVERIFY(dialog != nullptr && dialog->isVisible());
    }

private slots:
    void opensWithEverythingChosenAndTheFocusOnRun()
    {
        openDialogOn(threePopulations);
        const QStringList pops = {"North", "Coast", "Hills"};
        const QStringList vars = {"Stature", "Head length"};
        QCOMPARE(entries(dialog->PopList1), pops);
        QCOMPARE(entries(dialog->PopList2), pops);
        QCOMPARE(entries(dialog->VarList1), vars);
        QCOMPARE(entries(dialog->VarList2), vars);
        QCOMPARE(dialog->focusWidget(), dialog->btnRun);
    }

    void doubleClickAddsOnlyWhatIsNotSelectedYetAndRemoves()
    {
        openDialogOn(threePopulations);
        dialog->btnClear1->click();
        QCOMPARE(entries(dialog->PopList2), QStringList());

        doubleClick(dialog->PopList1, 2);
        doubleClick(dialog->PopList1, 0);
        doubleClick(dialog->PopList1, 2);
        QCOMPARE(entries(dialog->PopList2), QStringList({"Hills", "North"}));

        doubleClick(dialog->PopList2, 0);
        QCOMPARE(entries(dialog->PopList2), QStringList({"North"}));

        // Select All replaces the choice in file order
        doubleClick(dialog->PopList1, 2);
        dialog->btnAll1->click();
        QCOMPARE(entries(dialog->PopList2), QStringList({"North", "Coast", "Hills"}));
    }

    void characterKeysAndDeleteActLikeADoubleClickAndMovingKeysDoNot()
    {
        openDialogOn(threePopulations);
        dialog->btnClear2->click();
        dialog->VarList1->setCurrentRow(1);
        QTest::keyClick(dialog->VarList1, Qt::Key_Down);
        QTest::keyClick(dialog->VarList1, Qt::Key_Up);
        QCOMPARE(entries(dialog->VarList2), QStringList());
        QTest::keyClick(dialog->VarList1, Qt::Key_Space);
        QCOMPARE(entries(dialog->VarList2), QStringList({"Stature"}));

        dialog->VarList1->setCurrentRow(1);
        QTest::keyClick(dialog->VarList1, Qt::Key_Return);
        QCOMPARE(entries(dialog->VarList2), QStringList({"Stature", "Head length"}));
        QVERIFY(dialog->isVisible()); // Enter stayed in the list

        dialog->VarList2->setCurrentRow(0);
        QTest::keyClick(dialog->VarList2, Qt::Key_Backspace);
        QCOMPARE(entries(dialog->VarList2), QStringList({"Head length"}));

        // Delete takes from the chosen lists only
        dialog->PopList2->setCurrentRow(1);
        QTest::keyClick(dialog->PopList2, Qt::Key_Delete);
        QCOMPARE(entries(dialog->PopList2), QStringList({"North", "Hills"}));
        dialog->PopList1->setCurrentRow(0);
        QTest::keyClick(dialog->PopList1, Qt::Key_Delete);
        QCOMPARE(dialog->PopList1->count(), 3);
        QCOMPARE(dialog->PopList2->count(), 2);
    }

    void runShowsEveryApplicableMessageInOrder_data()
    {
        QTest::addColumn<int>("populations");
        QTest::addColumn<int>("variables");
        QTest::addColumn<QStringList>("messages");
        const QString none = "No populations have been selected";
        const QString one = "At least 2 populations must be selected";
        const QString noVars = "No variables have been selected";
        QTest::newRow("nothing chosen") << 0 << 0 << QStringList({none, noVars});
        QTest::newRow("one population, no variable") << 1 << 0 << QStringList({one, noVars});
        QTest::newRow("one population") << 1 << 2 << QStringList({one});
        QTest::newRow("no population") << 0 << 1 << QStringList({none});
        QTest::newRow("no variable") << 3 << 0 << QStringList({noVars});
    }

    void runShowsEveryApplicableMessageInOrder()
    {
        QFETCH(int, populations);
        QFETCH(int, variables);
        QFETCH(QStringList, messages);
        openDialogOn(threePopulations);
        dialog->btnClear1->click();
        dialog->btnClear2->click();
        for (int row = 0; row < populations; ++row) {
            doubleClick(dialog->PopList1, row);
        }
        for (int row = 0; row < variables; ++row) {
            doubleClick(dialog->VarList1, row);
        }

        dialog->btnRun->click();
        QCOMPARE(h->prompts.shownTexts(), messages);
        for (const ScriptedPrompts::Shown& box : h->prompts.shown()) {
            QCOMPARE(box.title, QString("ERROR"));
            QCOMPARE(box.icon, UserPrompts::Icon::Critical);
            QCOMPARE(box.owner.data(), dialog->btnRun);
        }
        QVERIFY(dialog->isVisible());
        QVERIFY(!h->window->isRunning());
        QCOMPARE(h->state.selection.selPopCount(), 0);
        QCOMPARE(entries(dialog->PopList2).size(), populations);
    }

    void theChoiceIsByFilePositionWhenNamesAreShared()
    {
        openDialogOn(sharedNames);
        dialog->btnClear1->click();
        doubleClick(dialog->PopList1, 1);
        doubleClick(dialog->PopList1, 0);
        doubleClick(dialog->PopList1, 1);
        QCOMPARE(entries(dialog->PopList2), QStringList({"North", "North"}));
        doubleClick(dialog->PopList2, 0); // the second North goes, the first stays
        doubleClick(dialog->PopList1, 2);

        QCOMPARE(dialog->applyTo(h->state), QStringList());
        const Selection& s = h->state.selection;
        QCOMPARE(s.popSelected, std::vector<bool>({true, false, true}));
        QCOMPARE(s.varSelected, std::vector<bool>({true, true}));
        QCOMPARE(s.selPopCount(), 2);
        QCOMPARE(s.selVarCount(), 2);
    }

    void cancelClosesAndChangesNothing()
    {
        openDialogOn(threePopulations);
        const QString report = h->text();
        dialog->btnClear1->click();
        dialog->btnCancel->click();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(h->state.selection.selPopCount(), 0);
        QCOMPARE(h->text(), report);

        // every opening starts afresh with everything chosen
        QVERIFY(h->trigger("mnuRun"));
        QCOMPARE(entries(h->analysisDialog()->PopList2).size(), 3);
    }
};

QTEST_MAIN(AnalysisDialogTest)
#include "AnalysisDialogTest.moc"
