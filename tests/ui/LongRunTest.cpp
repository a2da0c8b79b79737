// A run the user stops: Cancel, Esc and the close control of the progress window, closing the
// main window during a run, Help and About meanwhile, and the progress shown.
#include "ui/AboutBox.h"
#include "ui/AnalysisDialog.h"
#include "ui/ProgressWindow.h"

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "WindowHarness.h"

using namespace tavrik;
using namespace tavrik::test;

namespace {

// Three populations with enough records that a run lasts well beyond a button press.
QByteArray largeData()
{
    QByteArray data = "Large\n3, 2\nNorth, 1, 150\nCoast, 2, 300\nHills, 3, 300\n"
                      "Stature, Head length\n";
    data.reserve(6'000'000);
    for (int r = 0; r < 300'000; ++r) {
        const int pop = r % 3 + 1;
        data += QByteArray::number(pop) + ", " + QByteArray::number(160 + (r * 7) % 23 + pop) +
                ".5, " + QByteArray::number(180 + (r * 11) % 17) + ".25\n";
    }
    return data;
}

} // namespace

class LongRunTest : public WindowTest
{
    Q_OBJECT

private:
    // Opens the large file and completes one run, so that there are results to keep.
    void completeOneRun()
    {
        QVERIFY(h->open(h->writeFile("large.tvk", largeData())));
        QVERIFY(h->runAll());
        QVERIFY(h->lastRunSucceeded);
        h->state.askSaveName = false;
    }

    void startRun()
    {
        QVERIFY(h->trigger("mnuRun"));
        h->analysisDialog()->btnRun->click();
        QVERIFY(h->window->isRunning());
    }

private slots:
    void cancelEscAndCloseStopTheRunAndChangeNothing()
    {
        completeOneRun();
        const QString report = h->text();
        const Matrix rMatrix = h->state.results.rMatrix;
        const QString title = h->window->windowTitle();
        ProgressWindow* progress = h->find<ProgressWindow>("running");

        for (int way = 0; way < 3; ++way) {
            startRun();
            QVERIFY(progress->isVisible());
            QVERIFY(progress->btnCancel->isEnabled());
            if (way == 0) {
                progress->btnCancel->click();
            } else if (way == 1) {
                QTest::keyClick(progress, Qt::Key_Escape);
            } else {
                progress->close();
                QVERIFY(progress->isVisible()); // it goes when the run has stopped
            }
            QVERIFY(h->waitForRun());
            QVERIFY2(!h->lastRunSucceeded, qPrintable(QString::number(way)));
            QCOMPARE(h->prompts.shown().size(), 0);
            QCOMPARE(h->text(), report);
            QVERIFY(h->state.results.rMatrix == rMatrix);
            QCOMPARE(h->state.askSaveName, false);
            QVERIFY(h->enabled("mnuSave"));
            QVERIFY(!progress->isVisible());
            QCOMPARE(h->window->windowTitle(), title);
        }
    }

    void helpAndAboutStayUsableAndClosingAsksAndStopsTheRunFirst()
    {
        QVERIFY(h->open(h->writeFile("large.tvk", largeData())));
        startRun();
        QVERIFY(!h->enabled("mnuFileOpen"));
        QVERIFY(h->trigger("mnuHelpText"));
        QVERIFY(h->trigger("mnuAbout"));
        QVERIFY(h->find<AboutBox>("frmAbout")->isVisible());
        QVERIFY(h->window->windowTitle().contains("running"));

        h->prompts.queueAnswer(UserPrompts::Answer::No);
        h->window->close();
        QCOMPARE(h->prompts.asked().size(), 1);
        QVERIFY(h->prompts.asked().front().text.contains("running"));
        QVERIFY(h->window->isVisible());
        QVERIFY(h->window->isRunning());

        h->prompts.queueAnswer(UserPrompts::Answer::Yes);
        h->window->close();
        QVERIFY(h->waitForRun());
        QVERIFY(!h->lastRunSucceeded);
        QTRY_VERIFY(!h->window->isVisible());
        QCOMPARE(h->prompts.shown().size(), 0);
    }

    void escInTheMainWindowStopsTheRunAndTheReportShowsTheBusyPointer()
    {
        QVERIFY(h->open(h->writeFile("large.tvk", largeData())));
        ProgressWindow* progress = h->find<ProgressWindow>("running");
        startRun();
        QTRY_COMPARE(QApplication::activeWindow(), progress);
        QCOMPARE(progress->focusWidget(), progress->btnCancel);
        QCOMPARE(h->textBox()->viewport()->cursor().shape(), Qt::BusyCursor);

        h->window->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), h->window.get());
        QTest::keyClick(h->textBox(), Qt::Key_Escape);
        QVERIFY(h->waitForRun());
        QVERIFY(!h->lastRunSucceeded);
        QCOMPARE(h->textBox()->viewport()->cursor().shape(), Qt::IBeamCursor);
    }

    void yesClosesTheProgramThoughTheRunEndedWhileItWasAsked()
    {
        QVERIFY(h->open(h->writeFile("pops.tvk", threePopulations)));
        startRun();
        h->prompts.whileNextAsked([this] { QVERIFY(h->waitForRun()); });
        h->prompts.queueAnswer(UserPrompts::Answer::Yes);
        h->window->close();
        QVERIFY(h->lastRunSucceeded);
        QTRY_VERIFY(!h->window->isVisible());
    }

    void theProgressWindowShowsTheLatestReportAtItsOwnPace()
    {
        ProgressWindow window;
        QSignalSpy advanced(&window, &ProgressWindow::passAdvanced);
        RunProgress& sink = window.startRun();
        for (int i = 1; i <= 1000; ++i) {
            sink.status("...pass 2 of 2, cases read = " + std::to_string(i) + " ...");
            sink.passProgress(2, static_cast<std::uint64_t>(i) * 250, 1'000'000);
        }
        QTRY_COMPARE(window.status(), QString("...pass 2 of 2, cases read = 1000 ..."));
        QCOMPARE(window.barProgress->value(), window.barProgress->maximum() / 4);
        // many reports, few pictures: at most one per report that arrived between two
        QVERIFY(advanced.size() >= 1 && advanced.size() < 1000);
        QCOMPARE(advanced.constLast(), (QList<QVariant>{2, 25}));
        QVERIFY(!sink.cancelled());
        window.btnCancel->click();
        QVERIFY(sink.cancelled());
        QCOMPARE(window.status(), QString("...cancelling..."));
        window.endRun();
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(LongRunTest)
#include "LongRunTest.moc"
