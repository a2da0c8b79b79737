#include "ui/OptionsDialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFontInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>

#include "WindowHarness.h"

using namespace tavrik;
using namespace tavrik::test;

namespace {

const QStringList allItems = {"mnuFileOpen",
                              "mnuExit",
                              "mnuCut",
                              "mnuCopy",
                              "mnuPaste",
                              "mnuSelectAll",
                              "mnuSetFont",
                              "mnuRun",
                              "mnuOpt",
                              "mnuSave",
                              "mnuSaveOut",
                              "mnuSaveMat",
                              "mnuSavePCA1",
                              "mnuSavePCA2",
                              "mnuSaveRB1",
                              "mnuHelpText",
                              "mnuAbout"};

QStringList enabledItems(const WindowHarness& h)
{
    QStringList names;
    for (const QString& name : allItems) {
        if (h.enabled(name.toLatin1().constData())) {
            names << name;
        }
    }
    return names;
}

const QStringList alwaysOn = {"mnuFileOpen", "mnuExit", "mnuSetFont", "mnuHelpText", "mnuAbout"};
const QStringList afterOpen = {"mnuFileOpen",
                               "mnuExit",
                               "mnuCut",
                               "mnuCopy",
                               "mnuSelectAll",
                               "mnuSetFont",
                               "mnuRun",
                               "mnuOpt",
                               "mnuHelpText",
                               "mnuAbout"};

} // namespace

class MainWindowTest : public WindowTest
{
    Q_OBJECT

private slots:
    void init()
    {
        startWindow();
        QGuiApplication::clipboard()->clear();
    }

    void startsEmptyWithOnlyOpenExitFontAndHelp()
    {
        QCOMPARE(h->window->windowTitle(), QString("TAVRIK 5.0"));
        QCOMPARE(h->text(), QString());
        QCOMPARE(enabledItems(*h), alwaysOn);

        const QFont font = h->textBox()->font();
        const QString family = QFontInfo(font).family();
        QVERIFY2(family == "Courier New" || family == "Liberation Mono", qPrintable(family));
        QCOMPARE(font.pointSize(), 12);
        QVERIFY(font.bold());
        QCOMPARE(h->textBox()->lineWrapMode(), QPlainTextEdit::NoWrap);
    }

    void menuStatesFollowOpenAndCancelledOpen()
    {
        const QString file = h->writeFile("pops.tvk", threePopulations);
        QVERIFY(h->open(file));
        QCOMPARE(enabledItems(*h), afterOpen);

        // Copy enables Paste, and nothing disables it again
        QVERIFY(h->trigger("mnuCopy"));
        QStringList withPaste = afterOpen;
        withPaste.insert(4, "mnuPaste");
        QCOMPARE(enabledItems(*h), withPaste);

        const QString report = h->text();
        h->prompts.queueOpenFileName(std::nullopt);
        QVERIFY(h->trigger("mnuFileOpen"));
        QCOMPARE(enabledItems(*h), withPaste);
        QCOMPARE(h->text(), report);
        QVERIFY(h->prompts.shown().isEmpty());
    }

    void editMenuOpeningWithASelectionEnablesCutAndCopy()
    {
        // typed text with nothing loaded: Cut and Copy come on only through a selection
        h->textBox()->setPlainText("typed by hand");
        QVERIFY(!h->enabled("mnuCopy"));
        h->textBox()->selectAll();
        emit h->find<QMenu>("mnuEdit")->aboutToShow();
        QVERIFY(h->enabled("mnuCut"));
        QVERIFY(h->enabled("mnuCopy"));
        QVERIFY(!h->enabled("mnuSelectAll"));
    }

    void copyWithNoSelectionEmptiesTheClipboardAndPasteThenChangesNothing()
    {
        QVERIFY(h->open(h->writeFile("pops.tvk", threePopulations)));
        QGuiApplication::clipboard()->setText("left over");
        const QString report = h->text();

        QVERIFY(!h->textBox()->textCursor().hasSelection());
        QVERIFY(h->trigger("mnuCopy"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString());
        QVERIFY(h->trigger("mnuPaste"));
        QCOMPARE(h->text(), report);
    }

    void cutThenPasteMovesTheSelectedText()
    {
        QVERIFY(h->open(h->writeFile("pops.tvk", threePopulations)));
        QPlainTextEdit* box = h->textBox();
        box->setPlainText("alpha beta");
        QTextCursor cursor = box->textCursor();
        cursor.setPosition(0);
        cursor.setPosition(6, QTextCursor::KeepAnchor);
        box->setTextCursor(cursor);

        QVERIFY(h->trigger("mnuCut"));
        QCOMPARE(h->text(), QString("beta"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("alpha "));

        cursor = box->textCursor();
        cursor.movePosition(QTextCursor::End);
        box->setTextCursor(cursor);
        QVERIFY(h->trigger("mnuPaste"));
        QCOMPARE(h->text(), QString("betaalpha "));

        QVERIFY(h->trigger("mnuSelectAll"));
        QCOMPARE(box->textCursor().selectedText(), QString("betaalpha "));
    }

    void editKeysDoNothingWhileTheirItemsAreDisabled()
    {
        QPlainTextEdit* box = h->textBox();
        box->setPlainText("typed");
        QGuiApplication::clipboard()->setText("clip");

        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QVERIFY(!box->textCursor().hasSelection());
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(h->text(), QString("typed"));

        // once enabled, the same keys carry out the Edit menu's commands
        QVERIFY(h->open(h->writeFile("pops.tvk", threePopulations)));
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), h->text());
        QVERIFY(h->enabled("mnuPaste"));
    }

    void setScreenFontCopiesFaceSizeAndStyleAndCancelKeepsIt()
    {
        QFont chosen("Liberation Serif", 15);
        chosen.setBold(false);
        chosen.setItalic(true);
        chosen.setUnderline(true);
        h->prompts.queueFont(chosen);
        QVERIFY(h->trigger("mnuSetFont"));
        QFont font = h->textBox()->font();
        QCOMPARE(font.family(), QString("Liberation Serif"));
        QCOMPARE(font.pointSize(), 15);
        QVERIFY(!font.bold());
        QVERIFY(font.italic());
        QVERIFY(font.underline());

        h->prompts.queueFont(std::nullopt);
        QVERIFY(h->trigger("mnuSetFont"));
        QCOMPARE(h->textBox()->font(), font);
    }

    void helpAndAboutOpenBesideTheWindowAndCloseWithIt()
    {
        QVERIFY(h->trigger("mnuHelpText"));
        QVERIFY(h->trigger("mnuAbout"));
        QVERIFY(h->trigger("mnuAbout")); // brought forward, not opened twice
        QCOMPARE(h->window->findChildren<QDialog*>("frmAbout").size(), 1);
        QStringList open = visibleTopLevels();
        open.sort();
        QCOMPARE(open, QStringList({"MainWindow", "frmAbout", "helpViewer"}));
    }

    void exitClosesEveryWindow()
    {
        QVERIFY(h->open(h->writeFile("pops.tvk", threePopulations)));
        QVERIFY(h->trigger("mnuOpt"));
        QVERIFY(h->trigger("mnuRun"));
        QVERIFY(h->find<OptionsDialog>("Options")->isVisible());
        h->state.matrixFile = "R Matrix:\r\n";

        QVERIFY(h->trigger("mnuExit"));
        QCOMPARE(visibleTopLevels(), QStringList());
        QVERIFY(h->state.matrixFile.empty());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
