// Recent files, dropped files, what the program remembers between sessions, the question about
// unsaved edits and the standard keys.
#include "ui/AnalysisDialog.h"
#include "ui/ImportCsvDialog.h"

#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QUrl>

#include "WindowHarness.h"

using namespace tavrik;
using namespace tavrik::test;

namespace {

QStringList recentCaptions(const MainWindow& window)
{
    QStringList captions;
    const auto* recent = window.findChild<QMenu*>(QStringLiteral("mnuRecent"));
    for (const QAction* item : recent->actions()) {
        captions << item->text();
    }
    return captions;
}

void dropFile(QWidget* target, const QString& file)
{
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

} // namespace

class ConveniencesTest : public WindowTest
{
    Q_OBJECT

private:
    // A run whose report the user then edits.
    void runAndEdit()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        QVERIFY(!h->window->windowTitle().endsWith("*"));
        h->textBox()->moveCursor(QTextCursor::End);
        QTest::keyClicks(h->textBox(), "note");
        QVERIFY(h->window->hasUnsavedEdits());
        QVERIFY(h->window->windowTitle().endsWith("pops.tvk*"));
    }

private slots:
    void recentFilesListTheLastOpenedFirstAndDropMissingOnes()
    {
        QVERIFY(!h->enabled("mnuRecent"));
        const QString a = h->writeFile("a.tvk", threePopulations);
        const QString b = h->writeFile("b.tvk", equalSizes);
        QVERIFY(h->open(a));
        QVERIFY(h->open(b));
        QVERIFY(h->open(a));
        QCOMPARE(recentCaptions(*h->window), QStringList({"&1 a.tvk", "&2 b.tvk"}));

        for (int i = 0; i < 9; ++i) {
            QVERIFY(h->open(h->writeFile(QString("p%1.tvk").arg(i), threePopulations)));
        }
        QCOMPARE(recentCaptions(*h->window).size(), 8);

        QCOMPARE(recentCaptions(*h->window).constFirst(), QString("&1 p8.tvk"));

        // choosing an entry opens it; a file that has gone is taken off with a word
        QVERIFY(h->trigger("mnuRecent2"));
        QCOMPARE(QString::fromStdString(h->state.dataSet.dataPath), h->dir.filePath("p7.tvk"));
        QVERIFY(QFile::remove(h->dir.filePath("p6.tvk")));
        const QString title = h->window->windowTitle();
        QVERIFY(h->trigger("mnuRecent3"));
        QCOMPARE(h->prompts.shown().size(), 1);
        QVERIFY(h->prompts.shown().front().text.contains("p6.tvk"));
        QCOMPARE(h->window->windowTitle(), title);
        QVERIFY(!recentCaptions(*h->window).join(' ').contains("p6.tvk"));
        QCOMPARE(recentCaptions(*h->window).size(), 7);

        // two files of one name are told apart, and the status bar shows the full path
        QVERIFY(QDir(h->dir.path()).mkpath("north/survey"));
        QVERIFY(QDir(h->dir.path()).mkpath("south/survey2"));
        const QString first = h->writeFile("north/survey/pops.tvk", threePopulations);
        const QString second = h->writeFile("south/survey2/pops.tvk", threePopulations);
        QVERIFY(h->open(first));
        QVERIFY(h->open(second));
        const QStringList captions = recentCaptions(*h->window);
        QVERIFY2(captions[0].mid(3) != captions[1].mid(3), qPrintable(captions.join(" | ")));
        QVERIFY2(captions[0].contains("survey2"), qPrintable(captions[0]));
        // as the open menu tells its window when the item is under the pointer
        h->find<QMenu>("mnuRecent")->actions().at(1)->showStatusText(h->window.get());
        QCOMPARE(h->window->statusBar()->currentMessage(), QDir::toNativeSeparators(first));
    }

    void aDroppedDataFileOpensAndADroppedTableStartsTheImport()
    {
        const QString tvk = h->writeFile("dropped.tvk", threePopulations);
        dropFile(h->window.get(), tvk);
        QCOMPARE(QString::fromStdString(h->state.dataSet.dataPath), tvk);
        QCOMPARE(h->text(), openedText(tvk, "Example data set", 3, 2));

        const QString csv = h->writeFile("table.csv", "Population,Stature\nNorth,170\nNorth,171\n");
        dropFile(h->textBox()->viewport(), csv);
        QTRY_VERIFY(h->importDialog() != nullptr);
        QVERIFY(h->importDialog()->isVisible());
        h->importDialog()->reject();
        QTRY_VERIFY(h->importDialog() == nullptr);

        // anything else is left to the text box
        dropFile(h->window.get(), h->writeFile("notes.txt", "text"));
        QCOMPARE(QString::fromStdString(h->state.dataSet.dataPath), tvk);
    }

    // as File Open does, the other ways to open a file turn the last run's Output menu off
    void aRecentOrDroppedFileOpenedAfterARunTurnsTheOutputMenuOff()
    {
        const QString other = h->writeFile("other.tvk", equalSizes);
        QVERIFY(h->open(other));
        QVERIFY(h->openAndRun(threePopulations, false, false));
        QVERIFY(h->enabled("mnuSaveOut"));
        QVERIFY(h->trigger("mnuRecent2"));
        QCOMPARE(QString::fromStdString(h->state.dataSet.dataPath), other);
        QVERIFY(!h->enabled("mnuSaveOut"));

        QVERIFY(h->runAll());
        QVERIFY(h->lastRunSucceeded);
        QVERIFY(h->enabled("mnuSaveOut"));
        dropFile(h->textBox()->viewport(), h->dir.filePath("pops.tvk"));
        QCOMPARE(QString::fromStdString(h->state.dataSet.dataPath), h->dir.filePath("pops.tvk"));
        QVERIFY(!h->enabled("mnuSaveOut"));
    }

    void geometryFontAndRecentFilesOutliveTheSession()
    {
        QFont chosen("Liberation Mono", 14);
        chosen.setStrikeOut(true);
        chosen.setUnderline(true);
        h->prompts.queueFont(chosen);
        QVERIFY(h->trigger("mnuSetFont"));
        QVERIFY(h->textBox()->font().strikeOut()); // the effects chosen are taken
        QVERIFY(h->textBox()->font().underline());
        h->window->setGeometry(40, 50, 700, 500);
        QVERIFY(h->open(h->writeFile("pops.tvk", threePopulations)));

        h->restartWindow();
        QCOMPARE(h->textBox()->font().family(), QString("Liberation Mono"));
        QCOMPARE(h->textBox()->font().pointSize(), 14);
        QCOMPARE(h->window->size(), QSize(700, 500));
        QCOMPARE(recentCaptions(*h->window), QStringList{"&1 pops.tvk"});
        QCOMPARE(h->window->windowTitle(), QString("TAVRIK 5.0"));
    }

    void editsOfARunAreAskedAboutBeforeTheyAreReplaced()
    {
        runAndEdit();
        const QString edited = h->text();

        // Cancel: File > Open does not even start
        h->prompts.queueAnswer(UserPrompts::Answer::Cancel);
        QVERIFY(h->trigger("mnuFileOpen"));
        QCOMPARE(h->text(), edited);
        QVERIFY(h->enabled("mnuSave"));

        // Save: the edited report is saved, then the run goes ahead
        const QString saved = h->dir.filePath("out.txt");
        h->prompts.queueAnswer(UserPrompts::Answer::Save);
        h->prompts.queueSaveFileName(saved);
        QVERIFY(h->trigger("mnuRun"));
        h->analysisDialog()->btnRun->click();
        QVERIFY(h->waitForRun());
        QVERIFY(fileBytes(saved).contains("note"));
        QVERIFY(!h->text().contains("note"));
        QVERIFY(!h->window->windowTitle().endsWith("*"));

        // a report only made by the run: nothing to ask
        h->prompts.queueOpenFileName(std::nullopt);
        QVERIFY(h->trigger("mnuFileOpen"));
        QCOMPARE(h->prompts.asked().size(), 2);

        // Exit asks too: Cancel keeps the window, Discard closes it
        runAndEdit();
        h->prompts.queueAnswer(UserPrompts::Answer::Cancel);
        QVERIFY(h->trigger("mnuExit"));
        QVERIFY(h->window->isVisible());
        h->prompts.queueAnswer(UserPrompts::Answer::Discard);
        QVERIFY(h->trigger("mnuExit"));
        QVERIFY(!h->window->isVisible());
        QCOMPARE(h->prompts.asked().size(), 4);
    }

    void standardKeysOpenExitAndHelpWithoutClashes()
    {
        QVERIFY(h->find<QAction>("mnuFileOpen")->shortcuts().contains(QKeySequence("Ctrl+O")));
        QVERIFY(h->find<QAction>("mnuExit")->shortcuts().contains(QKeySequence("Ctrl+Q")));
        QVERIFY(h->find<QAction>("mnuHelpText")->shortcuts().contains(QKeySequence("F1")));
        QList<QKeySequence> keys;
        for (const QAction* action : h->window->findChildren<QAction*>()) {
            for (const QKeySequence& key : action->shortcuts()) {
                QVERIFY2(!keys.contains(key), qPrintable(action->text()));
                keys << key;
            }
        }
    }
};

QTEST_MAIN(ConveniencesTest)
#include "ConveniencesTest.moc"
