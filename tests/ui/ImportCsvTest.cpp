// File > Import CSV: the dialog's first choices and preview, the columns and rows it would
// leave out, the missing values it counts, why Import is off, census sizes checked as they are
// typed, and the written data file opened as File > Open opens it.

#include "ui/ImportCsvDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "WindowHarness.h"

using namespace tavrik;
using namespace tavrik::test;

namespace {

// ID and Stature are numeric; Site holds the populations; Note is text.
const char* const sites = "ID,Site,Stature,Note,Head length\r\n"
                          "1,North,170.5,ok,191\r\n"
                          "2,Coast,168,,188.5\r\n"
                          "3,North,172.25,x,193\r\n"
                          "4,Hills,165,,186\r\n"
                          "5,Coast,164.5,,187\r\n";

// Semicolons and decimal commas; line 3 has no stature, line 5 a head length of "n/a", line 8
// no population, and line 9 a head length that is not a number.
const char* const gaps = "Site;Stature;Head length\n"
                         "North;170,5;191\n"
                         "North;;193\n"
                         "Coast;168;188,5\n"
                         "Coast;164,5;n/a\n"
                         "Hills;165;186\n"
                         "Hills;161,5;184,5\n"
                         "N/A;160;180\n"
                         "Hills;163;big\n";

QStringList entries(const QListWidget* list, bool checkedOnly)
{
    QStringList names;
    for (int row = 0; row < list->count(); ++row) {
        const QListWidgetItem* item = list->item(row);
        if (!checkedOnly || item->checkState() == Qt::Checked) {
            names << item->text();
        }
    }
    return names;
}

// The widget's place in the dialog.
QRect placeIn(const QWidget* dialog, const QWidget* w)
{
    return QRect(w->mapTo(dialog, QPoint(0, 0)), w->size());
}

QList<QStringList> tableRows(const QTableWidget* table)
{
    QList<QStringList> rows;
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c) {
            cells << table->item(r, c)->text();
        }
        rows << cells;
    }
    return rows;
}

} // namespace

class ImportCsvTest : public WindowTest
{
    Q_OBJECT

    // File > Import CSV... answered with a CSV of this content; the dialog it shows.
    ImportCsvDialog* startImport(const QString& name, const char* content)
    {
        h->prompts.queueOpenFileName(h->writeFile(name, content));
        if (!h->trigger("mnuFileImport")) {
            return nullptr;
        }
        // the table is read in the background first
        if (!QTest::qWaitFor([this] { return !h->window->isRunning(); }, 10000)) {
            return nullptr;
        }
        return h->importDialog();
    }

    void setChecked(QListWidget* list, const QString& name, bool checked)
    {
        const auto found = list->findItems(name, Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        found.front()->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    }

private slots:
    void theItemFollowsOpenAndAsksForCsvFiles()
    {
        const QList<QAction*> items = h->find<QMenu>("mnuFile")->actions();
        QCOMPARE(items.indexOf(h->find<QAction>("mnuFileImport")),
                 items.indexOf(h->find<QAction>("mnuFileOpen")) + 1);

        h->prompts.queueOpenFileName(std::nullopt);
        QVERIFY(h->trigger("mnuFileImport"));
        QCOMPARE(h->prompts.lastFilters(),
                 QStringList({"CSV Files (*.csv *.CSV)", "All Files (*)"}));
        QVERIFY(h->importDialog() == nullptr);
    }

    void preselectsNumericColumnsAndPreviewsThePopulations()
    {
        ImportCsvDialog* d = startImport("pops.csv", sites);
        QVERIFY(d != nullptr);
        QVERIFY(d->isVisible());
        QCOMPARE(d->objectName(), QString("ImportCsv"));

        QCOMPARE(d->cboPopulation->currentText(), QString("Site"));
        QCOMPARE(entries(d->lstVariables, false),
                 QStringList({"ID", "Stature", "Note", "Head length"}));
        QCOMPARE(entries(d->lstVariables, true), QStringList({"ID", "Stature", "Head length"}));
        QCOMPARE(d->txtTitle->text(), QString("pops"));
        QCOMPARE(tableRows(d->tblPopulations),
                 QList<QStringList>(
                     {{"North", "2", "100"}, {"Coast", "2", "100"}, {"Hills", "1", "100"}}));
        QVERIFY(d->lblLeftOut->text().contains("5"));
        QVERIFY(!d->chkLeaveOut->isVisible());
        QVERIFY(!d->lblMissing->isVisible());
        QVERIFY(d->btnImport->isEnabled());

        // codes in ID as populations: Site returns unticked, as it holds no numbers
        d->cboPopulation->setCurrentText("ID");
        QCOMPARE(entries(d->lstVariables, false),
                 QStringList({"Site", "Stature", "Note", "Head length"}));
        QCOMPARE(entries(d->lstVariables, true), QStringList({"Stature", "Head length"}));
        QCOMPARE(d->tblPopulations->rowCount(), 5);
        QCOMPARE(d->tblPopulations->item(4, 0)->text(), QString("5"));
        QCOMPARE(d->tblPopulations->item(4, 1)->text(), QString("1"));

        // without a variable nothing can be imported, and the dialog says so
        QCOMPARE(d->lblImportOff->text(), QString());
        setChecked(d->lstVariables, "Stature", false);
        setChecked(d->lstVariables, "Head length", false);
        QVERIFY(!d->btnImport->isEnabled());
        QCOMPARE(d->lblImportOff->text(), QString("Import is off: tick at least one variable."));
        d->btnCancel->click();
    }

    void theWarningNamesColumnsThatAreNotNumericClearOfTheLists()
    {
        ImportCsvDialog* d = startImport("pops.csv", sites);
        QVERIFY(d != nullptr);
        QVERIFY(d->lblWarning->isVisible());
        QCOMPARE(d->lblWarning->text(),
                 QString("Not numeric, so not ticked as variables:\n"
                         "column 4 (Note): line 2 holds \"ok\", which is not a number"));
        // ticked all the same, it is no longer listed as not ticked
        setChecked(d->lstVariables, "Note", true);
        const QString warning = d->lblWarning->text();
        QVERIFY2(!warning.section(QLatin1Char('\n'), 0, 1).contains("Note") ||
                     !warning.startsWith("Not numeric, so not ticked"),
                 qPrintable(warning));
        QVERIFY2(warning.contains("(Note)"), qPrintable(warning));
        d->btnCancel->click();

        // a warning that appears once the dialog is up takes room of its own, also when the
        // dialog is then made as small as it goes
        d = startImport("two.csv", "Site,Stature,Span\nNorth,170,80\nCoast,168,81\n");
        QVERIFY(d != nullptr);
        QVERIFY(!d->lblWarning->isVisible());
        d->cboPopulation->setCurrentText("Stature");
        QVERIFY(d->lblWarning->isVisible());
        QVERIFY(d->lblWarning->text().contains("column 1 (Site): line 2 holds \"North\""));
        const auto expectClear = [d] {
            d->layout()->activate();
            const QWidget* frames[] = {d->lstVariables, d->tblPopulations};
            const QWidget* labels[] = {
                d->lblVariablesHint, d->lblPopulationsHint, d->lblWarning, d->lblLeftOut};
            for (const QWidget* frame : frames) {
                for (const QWidget* label : labels) {
                    QVERIFY2(!placeIn(d, frame).intersects(placeIn(d, label)),
                             qPrintable(label->objectName() + " overlaps " + frame->objectName()));
                }
            }
        };
        expectClear();
        d->resize(d->minimumSizeHint());
        expectClear();
        d->btnCancel->click();

        // nothing numeric besides the populations: Import is off, and the dialog says why
        d = startImport("words.csv", "Site,Note,Stature\nNorth,x,tall\nCoast,y,\n");
        QVERIFY(d != nullptr);
        QVERIFY(!d->btnImport->isEnabled());
        QCOMPARE(d->lblImportOff->text(),
                 QString("Import is off: no column other than the population column holds "
                         "numbers only, so there is no variable to import."));
        QVERIFY(d->lblWarning->text().contains(
            "column 3 (Stature): line 2 holds \"tall\", which is not a number"));
        d->btnCancel->click();
    }

    void missingValuesAreCountedAndRowsLeftOutMustBeAgreedTo()
    {
        ImportCsvDialog* d = startImport("gaps.csv", gaps);
        QVERIFY(d != nullptr);
        // the missing values spoil no column; "big" keeps Head length from being ticked
        QCOMPARE(entries(d->lstVariables, true), QStringList({"Stature"}));
        QVERIFY(d->lblMissing->isVisible());
        QCOMPARE(d->lblMissing->text(),
                 QString("1 value is missing and is written as NA:\n  column 2 (Stature): 1"));
        QCOMPARE(d->lblLeftOut->text(),
                 QString("1 row has a value that is not a number or no population and would "
                         "be left out: line 8."));
        QVERIFY(d->chkLeaveOut->isVisible());
        QVERIFY(!d->btnImport->isEnabled());
        d->chkLeaveOut->setChecked(true);
        QVERIFY(d->btnImport->isEnabled());

        // an agreement holds for the rows it was given for only
        setChecked(d->lstVariables, "Head length", true);
        QCOMPARE(d->lblLeftOut->text(),
                 QString("2 rows have a value that is not a number or no population and would "
                         "be left out: lines 8, 9."));
        QVERIFY(d->lblLeftOut->toolTip().contains("\"big\""));
        QVERIFY(!d->chkLeaveOut->isChecked());
        QVERIFY(!d->btnImport->isEnabled());
        QCOMPARE(d->lblMissing->text(),
                 QString("2 values are missing and are written as NA:\n"
                         "  column 2 (Stature): 1\n  column 3 (Head length): 1"));
        // rows with a missing value are kept in the sample sizes
        QCOMPARE(tableRows(d->tblPopulations),
                 QList<QStringList>(
                     {{"North", "2", "100"}, {"Coast", "2", "100"}, {"Hills", "2", "100"}}));

        d->chkLeaveOut->setChecked(true);
        setChecked(d->lstVariables, "Stature", false);
        QCOMPARE(d->lblMissing->text(),
                 QString("1 value is missing and is written as NA:\n  column 3 (Head length): 1"));
        QVERIFY(d->btnImport->isEnabled());

        const QString tvk = h->dir.filePath("gaps.tvk");
        h->prompts.queueSaveFileName(tvk);
        d->btnImport->click();
        QCOMPARE(fileBytes(tvk),
                 QByteArray("\"gaps\"\r\n3, 1\r\n"
                            "\"North\", 1, 100\r\n\"Coast\", 2, 100\r\n\"Hills\", 3, 100\r\n"
                            "\"Head length\"\r\n"
                            "1, 191\r\n1, 193\r\n2, 188.5\r\n2, NA\r\n3, 186\r\n3, 184.5\r\n"));
    }

    void censusSizesAreCheckedAsTheyAreTyped()
    {
        ImportCsvDialog* d = startImport("pops.csv", sites);
        QVERIFY(d != nullptr);
        setChecked(d->lstVariables, "ID", false);
        d->txtTitle->setText("Two \"sites\" and more");
        QVERIFY(!d->lblCensus->isVisible());

        // while the cell is being edited, every keystroke is checked
        d->tblPopulations->editItem(d->tblPopulations->item(1, 2));
        auto* editor = d->tblPopulations->findChild<QLineEdit*>();
        QVERIFY(editor != nullptr);
        editor->selectAll();
        editor->insert("abc"); // as typed: the cell itself still holds 100
        QVERIFY(d->lblCensus->isVisible());
        QCOMPARE(d->lblCensus->text(),
                 QString("Census size of \"Coast\": \"abc\" is not a number; expected a number of "
                         "0 or more."));
        QVERIFY(!d->btnImport->isEnabled());
        QCOMPARE(d->lblImportOff->text(),
                 QString("Import is off until every census size is a number of 0 or more."));
        QCOMPARE(d->tblPopulations->item(1, 2)->text(), QString("100"));

        // 0 is a size a data file holds: allowed, with a note
        d->tblPopulations->item(1, 2)->setText("0");
        QCOMPARE(d->lblCensus->text(),
                 QString("\"Coast\" has a census size of 0 and so no weight."));
        QVERIFY(d->btnImport->isEnabled());
        QCOMPARE(d->lblImportOff->text(), QString());

        // the typed size survives a refresh of the preview
        setChecked(d->lstVariables, "Head length", false);
        setChecked(d->lstVariables, "Head length", true);
        QCOMPARE(d->tblPopulations->item(1, 2)->text(), QString("0"));

        const QString tvk = h->dir.filePath("pops.tvk");
        h->prompts.queueSaveFileName(tvk);
        d->btnImport->click();
        QVERIFY(h->prompts.shown().isEmpty());
        QCOMPARE(fileBytes(tvk),
                 QByteArray("Two \"sites\" and more\r\n3, 2\r\n"
                            "\"North\", 1, 100\r\n\"Coast\", 2, 0\r\n\"Hills\", 3, 100\r\n"
                            "\"Stature\", \"Head length\"\r\n"
                            "1, 170.5, 191\r\n2, 168, 188.5\r\n1, 172.25, 193\r\n"
                            "3, 165, 186\r\n2, 164.5, 187\r\n"));
        QCOMPARE(h->state.dataSet.equalSizes, false);
    }

    void aCensusCellKeepsExactlyTheKeysTyped()
    {
        ImportCsvDialog* d = startImport("pops.csv", sites);
        QVERIFY(d != nullptr);
        setChecked(d->lstVariables, "ID", false);
        QTableWidget* table = d->tblPopulations;
        table->setFocus();
        table->setCurrentCell(1, 2);
        const auto editor = [table] { return table->findChild<QLineEdit*>(); };

        // a bad keystroke is named, and the next ones go on from it
        QTest::keyClick(table, Qt::Key_F2);
        QVERIFY(editor() != nullptr);
        QTest::keyClick(editor(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(editor(), Qt::Key_X);
        QCOMPARE(editor()->text(), QString("x"));
        QVERIFY(d->lblCensus->text().contains("\"x\""));
        QTest::keyClick(editor(), Qt::Key_Backspace);
        QTest::keyClicks(editor(), "250");
        QCOMPARE(editor()->text(), QString("250"));
        QTest::keyClick(editor(), Qt::Key_Return);
        QTRY_COMPARE(table->item(1, 2)->text(), QString("250"));
        QVERIFY(d->isVisible()); // Enter ends the edit, it does not press Import
        QVERIFY(d->btnImport->isEnabled());

        // Esc leaves the cell as it was, and the note with it
        QTest::keyClick(table, Qt::Key_F2);
        QTest::keyClick(editor(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(editor(), "abc");
        QVERIFY(!d->btnImport->isEnabled());
        QTest::keyClick(editor(), Qt::Key_Escape);
        QTRY_VERIFY(editor() == nullptr);
        QCOMPARE(table->item(1, 2)->text(), QString("250"));
        QCOMPARE(d->lblCensus->text(), QString());
        QVERIFY(d->btnImport->isEnabled());

        const QString tvk = h->dir.filePath("pops.tvk");
        h->prompts.queueSaveFileName(tvk);
        d->btnImport->click();
        QVERIFY(fileBytes(tvk).contains("\"Coast\", 2, 250\r\n"));
    }

    void namesAFileCannotHoldAreFlaggedAndItsErrorsStayWithTheDialog()
    {
        // a binary file is no table: no garbled column names
        QVERIFY(startImport("sheet.csv", "PK\x03\x04\x14,\x00\x06\x00\x08\n1,2\n") == nullptr);
        QCOMPARE(h->prompts.shown().size(), 1);
        QVERIFY2(h->prompts.shown().front().text.contains("not a CSV text file"),
                 qPrintable(h->prompts.shown().front().text));
        h->prompts.clearShown();

        // a name with a double quote and a comma cannot be written to a data file
        ImportCsvDialog* d = startImport("quoted.csv",
                                         "Site,Stature\n"
                                         "\"North, \"\"upper\"\"\",170\n"
                                         "Coast,168\n");
        QVERIFY(d != nullptr);
        QVERIFY(!d->btnImport->isEnabled());
        QVERIFY2(d->lblCensus->text().contains("North, \"upper\""),
                 qPrintable(d->lblCensus->text()));
        QCOMPARE(d->tblPopulations->item(0, 0)->foreground().color(), QColor(Qt::red));
        d->btnCancel->click();

        // an error found on Import belongs to the dialog, which stays to put it right
        d = startImport("pops.csv", sites);
        QVERIFY(d != nullptr);
        d->txtTitle->setText("Two \"sites\", and more");
        d->btnImport->click();
        QCOMPARE(h->prompts.shown().size(), 1);
        QVERIFY(h->prompts.shown().front().owner != nullptr);
        QCOMPARE(h->prompts.shown().front().owner->window(), d);
        QVERIFY(d->isVisible());
        d->btnCancel->click();
    }

    void theWrittenFileIsOpenedAsFileOpenOpensIt()
    {
        // a finished run first: the imported file must take its Output menu away
        QVERIFY(h->open(h->writeFile("old.tvk", threePopulations)));
        QVERIFY(h->runAll());
        QVERIFY(h->lastRunSucceeded);
        QVERIFY(h->enabled("mnuSave"));

        ImportCsvDialog* d = startImport("pops.csv", sites);
        QVERIFY(d != nullptr);
        const QString tvk = h->dir.filePath("chosen.tvk");
        h->prompts.queueSaveFileName(tvk);
        d->btnImport->click();

        QCOMPARE(h->prompts.lastFilters(), QStringList({"TAVRIK Files (*.tvk *.TVK)"}));
        QCOMPARE(h->prompts.lastProposed(), h->dir.filePath("pops.tvk"));
        QVERIFY(h->prompts.shown().isEmpty());
        QVERIFY(!d->isVisible());
        QCOMPARE(h->window->windowTitle(), "TAVRIK 5.0 - " + tvk);
        QCOMPARE(h->text(), openedText(tvk, "pops", 3, 3));
        QCOMPARE(h->state.dataSet.popNames, std::vector<std::string>({"North", "Coast", "Hills"}));
        QCOMPARE(h->state.dataSet.varNames,
                 std::vector<std::string>({"ID", "Stature", "Head length"}));
        QCOMPARE(h->state.dataSet.equalSizes, true);
        QCOMPARE(h->state.askSaveName, true);
        QVERIFY(h->enabled("mnuRun"));
        QVERIFY(!h->enabled("mnuSave"));
    }

    void cancellingWritesNothingAndChangesNothing()
    {
        const QString old = h->writeFile("old.tvk", threePopulations);
        QVERIFY(h->open(old));
        const QString report = h->text();
        const auto filesBefore = QDir(h->dir.path()).entryList(QDir::Files);

        ImportCsvDialog* d = startImport("pops.csv", sites);
        QVERIFY(d != nullptr);
        d->btnCancel->click();
        QVERIFY(!d->isVisible());

        // Cancel in the save dialog after Import
        d = startImport("pops.csv", sites);
        QVERIFY(d != nullptr);
        h->prompts.queueSaveFileName(std::nullopt);
        d->btnImport->click();

        QCOMPARE(QDir(h->dir.path()).entryList(QDir::Files), filesBefore + QStringList("pops.csv"));
        QCOMPARE(h->window->windowTitle(), "TAVRIK 5.0 - " + old);
        QCOMPARE(h->text(), report);
        QCOMPARE(QString::fromStdString(h->state.dataSet.dataPath), old);
        QVERIFY(h->prompts.shown().isEmpty());
    }

    void aBadCsvOrAnUnwritableFileIsNamedAndNothingChanges()
    {
        QVERIFY(startImport("bad.csv", "Pop,X,Y\nA,1,2\nB,3\n") == nullptr); // no dialog
        ImportCsvDialog* d = startImport("pops.csv", sites);
        QVERIFY(d != nullptr);
        h->prompts.queueSaveFileName(h->dir.filePath("missing-dir/pops.tvk"));
        d->btnImport->click();
        QCOMPARE(h->prompts.shown().size(), 2);
        const ScriptedPrompts::Shown& box = h->prompts.shown().front();
        QCOMPARE(box.icon, UserPrompts::Icon::Critical);
        QVERIFY2(box.text.contains("bad.csv") && box.text.contains("line 3"), qPrintable(box.text));
        QVERIFY2(h->prompts.shown().back().text.contains("missing-dir"),
                 qPrintable(h->prompts.shown().back().text));
        QCOMPARE(h->window->windowTitle(), QString("TAVRIK 5.0"));
        QVERIFY(!h->enabled("mnuRun"));
    }
};

QTEST_MAIN(ImportCsvTest)
#include "ImportCsvTest.moc"
