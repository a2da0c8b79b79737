#include "analysis/AnalysisRun.h"
#include "report/Clock.h"
#include "ui/AnalysisDialog.h"
#include "ui/OptionsDialog.h"
#include "ui/ProgressWindow.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "WindowHarness.h"

using namespace tavrik;
using namespace tavrik::test;

namespace {

// The core's own report for the file with everything chosen, as the text box shows it.
QString expectedScreen(const ProgramState& afterOpen)
{
    RunInput input{afterOpen.dataSet, afterOpen.settings, {}};
    input.selection.popSelected.assign(afterOpen.dataSet.popNames.size(), true);
    input.selection.varSelected.assign(afterOpen.dataSet.varNames.size(), true);
    NullProgress progress;
    const Result<RunOutput> out = runAnalysis(input, fixedUtcClock(fixedEpoch), progress);
    if (!out) {
        return "run failed: " + QString::fromStdString(out.error().message);
    }
    std::string text = out->screenText;
    std::string lf;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            lf += text[i];
        }
    }
    return QString::fromStdString(lf);
}

} // namespace

class RunTest : public WindowTest
{
    Q_OBJECT

private slots:
    void aRunShowsTheCoreReportAndEnablesTheOutputMenu()
    {
        QVERIFY(h->open(h->writeFile("pops.tvk", threePopulations)));
        const QString expected = expectedScreen(h->state);
        const QString title = h->window->windowTitle();
        h->state.askSaveName = false;

        QVERIFY(h->runAll());
        QVERIFY(h->lastRunSucceeded);
        QCOMPARE(h->text(), expected);
        QVERIFY(h->text().startsWith("TAVRIK 5.0\n"));
        QVERIFY(h->prompts.shown().isEmpty());
        QVERIFY(!h->find<ProgressWindow>("running")->isVisible());
        QCOMPARE(h->window->windowTitle(), title);
        QCOMPARE(h->state.askSaveName, true);
        QCOMPARE(h->state.selection.selPopCount(), 3);
        QCOMPARE(h->state.results.populationNames,
                 std::vector<std::string>({"North", "Coast", "Hills"}));

        for (const char* item : {"mnuSave",
                                 "mnuSaveOut",
                                 "mnuSaveMat",
                                 "mnuSavePCA1",
                                 "mnuSaveRB1",
                                 "mnuSaveJson",
                                 "mnuChart"}) {
            QVERIFY2(h->enabled(item), item);
        }
        QVERIFY(!h->enabled("mnuSavePCA2"));

        // the scaled scores follow the option of the latest run
        QVERIFY(h->setOptions(true, true));
        QVERIFY(h->runAll());
        QVERIFY(h->lastRunSucceeded);
        QVERIFY(h->enabled("mnuSavePCA2"));
        QVERIFY(h->text().contains("(standard errors in parentheses)")); // a listing that fits
        QVERIFY(h->setOptions(false, false));
        QVERIFY(h->runAll());
        QVERIFY(!h->enabled("mnuSavePCA2"));
    }

    void nothingElseCanStartWhileARunWorks()
    {
        QVERIFY(h->open(h->writeFile("pops.tvk", threePopulations)));
        QVERIFY(h->trigger("mnuOpt"));
        QVERIFY(h->trigger("mnuRun"));
        h->analysisDialog()->btnRun->click();

        // the outcome can only arrive through the event loop, so the run is still on
        QVERIFY(h->window->isRunning());
        QVERIFY(h->find<ProgressWindow>("running")->isVisible());
        QCOMPARE(h->text(), QString());
        for (const char* item :
             {"mnuFileOpen", "mnuExit", "mnuRun", "mnuOpt", "mnuSetFont", "mnuCopy"}) {
            QVERIFY2(!h->enabled(item), item);
        }
        QVERIFY(!h->find<OptionsDialog>("Options")->isEnabled());
        QVERIFY(h->waitForRun());
        QVERIFY(h->enabled("mnuFileOpen"));
        QVERIFY(h->find<OptionsDialog>("Options")->isEnabled());
    }

    void aFailedRunLeavesTheEarlierReportResultsAndMenus()
    {
        QVERIFY(h->open(h->writeFile("twins.tvk", identicalVariables)));
        const QString header = h->text();
        // a failed first run brings back the header and keeps the Output menu off
        QVERIFY(h->runAll()); // Left and Right together: the matrix is singular
        QVERIFY(!h->lastRunSucceeded);
        QCOMPARE(h->text(), header);
        QVERIFY(!h->enabled("mnuSave"));
        QVERIFY(h->enabled("mnuRun"));
        h->prompts.clearShown();

        QVERIFY(h->trigger("mnuRun"));
        h->analysisDialog()->btnClear2->click();
        h->analysisDialog()->VarList1->setCurrentRow(0);
        QTest::keyClick(h->analysisDialog()->VarList1, Qt::Key_Space);
        h->analysisDialog()->VarList1->setCurrentRow(1);
        QTest::keyClick(h->analysisDialog()->VarList1, Qt::Key_Space);
        h->analysisDialog()->btnRun->click();
        QVERIFY(h->waitForRun());
        QVERIFY(h->lastRunSucceeded);
        const QString report = h->text();
        const Matrix rMatrix = h->state.results.rMatrix;
        h->state.askSaveName = false;

        QVERIFY(h->runAll());
        QVERIFY(!h->lastRunSucceeded);
        QCOMPARE(h->prompts.shown().size(), 1);
        QCOMPARE(h->prompts.shown().front().icon, UserPrompts::Icon::Critical);
        QCOMPARE(h->prompts.shown().front().title, QString("Error"));
        QCOMPARE(h->prompts.shown().front().text, QString("Matrix could not be inverted"));
        QCOMPARE(h->text(), report);
        QVERIFY(h->state.results.rMatrix == rMatrix);
        QCOMPARE(h->state.askSaveName, false);
        QVERIFY(h->enabled("mnuSave"));
        QVERIFY(h->enabled("mnuFileOpen"));
        QVERIFY(h->window->isVisible());
    }

    void anOutputTooLargeForTheScreenWarnsAndLeavesTheMatricesOff()
    {
        QVERIFY(h->open(h->writeFile("many.tvk", manyPopulations())));
        QVERIFY(h->setOptions(false, true));
        QCOMPARE(h->state.settings.showMatrices, true);
        QVERIFY(h->runAll());
        QVERIFY(h->lastRunSucceeded);

        QCOMPARE(h->prompts.shown().size(), 1);
        const ScriptedPrompts::Shown& box = h->prompts.shown().front();
        QCOMPARE(box.icon, UserPrompts::Icon::Information);
        QCOMPARE(box.title, QString("Warning!"));
        QCOMPARE(box.text,
                 QString("Output too large to fit on screen.\r\n"
                         "R and distance matrices will not be shown here.\r\n"
                         "They will be included when you save the output."));
        QCOMPARE(h->state.settings.showMatrices, false);
        QCOMPARE(h->state.outputFitsScreen, false);
        QVERIFY(!h->text().contains("(standard errors in parentheses)")); // the listing's lines

        // the next run neither shows the matrices nor warns
        h->prompts.clearShown();
        QVERIFY(h->runAll());
        QVERIFY(h->prompts.shown().isEmpty());
    }
};

QTEST_MAIN(RunTest)
#include "RunTest.moc"
