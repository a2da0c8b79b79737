// The main window: which menu items each command leaves on, the Edit menu and its keys, the
// screen font, the windows it opens beside itself and the menus' access keys.
#include "ui/BootstrapWindow.h"
#include "ui/ChartWindow.h"
#include "ui/MantelWindow.h"
#include "ui/OptionsDialog.h"
#include "ui/SweepWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
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

// The access key of a caption: the character after a single '&'; 0 when there is none.
QChar accessKey(const QString& caption)
{
    for (int i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] == QLatin1Char('&')) {
            if (caption[i + 1] != QLatin1Char('&')) {
                return caption[i + 1].toLower();
            }
            ++i;
        }
    }
    return QChar();
}

// "caption: problem" for each item of the menu (and its submenus) without a key of its own.
QStringList accessKeyFaults(const QMenu* menu)
{
    QStringList faults;
    QList<QChar> taken;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            continue;
        }
        const QChar key = accessKey(action->text());
        if (key.isNull()) {
            faults << action->text() + ": no access key";
        } else if (taken.contains(key)) {
            faults << action->text() + ": access key taken";
        }
        taken << key;
        if (action->menu() != nullptr) {
            faults << accessKeyFaults(action->menu());
        }
    }
    return faults;
}

// Texts the window shows cut short: labels narrower than their text, table headers narrower
// than their caption.
QStringList clippedTexts(const QWidget* window)
{
    QStringList clipped;
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (label->isVisible() && !label->wordWrap() && !label->text().isEmpty() &&
            label->width() < label->minimumSizeHint().width()) {
            clipped << label->text();
        }
    }
    for (const QTableWidget* table : window->findChildren<QTableWidget*>()) {
        const QHeaderView* header = table->horizontalHeader();
        for (int c = 0; c < table->columnCount(); ++c) {
            const QString caption = table->horizontalHeaderItem(c)->text();
            if (header->sectionSize(c) < header->fontMetrics().horizontalAdvance(caption)) {
                clipped << caption;
            }
        }
    }
    return clipped;
}

// The windows the Analysis and Output menus open beside the main window, once opened.
QList<QWidget*> furtherWindows(const MainWindow& window)
{
    return {window.findChild<SweepWindow*>(),
            window.findChild<BootstrapWindow*>(),
            window.findChild<MantelWindow*>(),
            window.findChild<ChartWindow*>()};
}

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
        QCOMPARE(h->text(), QString());
        QCOMPARE(enabledItems(*h), alwaysOn);
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

    // Also run at scale 1.5, where the screen holds fewer pixels of the program's own.
    void furtherWindowsOpenWithinTheScreenReadWholeAndKeepTheirSize()
    {
        QVERIFY(h->openAndRun(threePopulations, true, false));
        const QRect area = h->window->screen()->availableGeometry();
        const auto openAll = [this] {
            for (const char* item : {"mnuSweep", "mnuBootstrap", "mnuMantel", "mnuChart"}) {
                QVERIFY(h->trigger(item));
            }
        };
        openAll();
        const QList<QWidget*> windows = furtherWindows(*h->window);
        for (QWidget* w : windows) {
            QVERIFY(QTest::qWaitForWindowExposed(w));
            QVERIFY2(area.contains(w->frameGeometry()),
                     qPrintable(w->objectName() + QStringLiteral(" %1,%2 %3x%4")
                                                      .arg(w->x())
                                                      .arg(w->y())
                                                      .arg(w->width())
                                                      .arg(w->height())));
            QVERIFY2(clippedTexts(w).isEmpty(),
                     qPrintable(w->objectName() + ": " + clippedTexts(w).join(" | ")));
        }
        // a Mantel test's table
        const QString geo = h->writeFile("geo.csv",
                                         "Population,Latitude,Longitude\n"
                                         "Hills,56.9,-4.1\nNorth,58.4,-4.6\nCoast,57.1,-2.1\n");
        auto* mantel = h->window->findChild<MantelWindow*>();
        mantel->txtGeography->setText(geo);
        mantel->spnPermutations->setValue(20);
        QSignalSpy ended(mantel, &MantelWindow::mantelFinished);
        mantel->btnRun->click();
        QVERIFY(ended.wait(30000));
        QVERIFY2(clippedTexts(mantel).isEmpty(), qPrintable(clippedTexts(mantel).join(" | ")));

        const QSize chosen =
            QSize(area.width() / 2, area.height() / 2).expandedTo(mantel->minimumSize());
        mantel->resize(chosen);
        for (QWidget* w : windows) {
            w->close();
        }
        h->restartWindow();
        QVERIFY(h->openAndRun(threePopulations, true, false));
        openAll();
        QCOMPARE(h->window->findChild<MantelWindow*>()->size(), chosen);
        for (QWidget* w : furtherWindows(*h->window)) {
            w->close();
        }
    }

    void everyMenuItemHasAnAccessKeyOfItsOwn()
    {
        QStringList faults;
        QList<QChar> menuKeys;
        for (const QAction* top : h->window->menuBar()->actions()) {
            const QChar key = accessKey(top->text());
            if (key.isNull() || menuKeys.contains(key)) {
                faults << top->text() + ": menu bar key";
            }
            menuKeys << key;
            faults << accessKeyFaults(top->menu());
        }
        QCOMPARE(faults, QStringList());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
