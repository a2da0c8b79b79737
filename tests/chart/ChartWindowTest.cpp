// The chart window: the choice of chart and of matrix follows the last run and the main
// window's data file, saves go through the prompts and write the chart shown, and a failed save
// names the file. The tree carries the support of a bootstrap of the run shown, and of no other.

#include "ui/ChartWindow.h"

#include "ui/BootstrapWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>

#include "ScriptedPrompts.h"
#include "WindowHarness.h"

namespace tavrik {

using test::ScriptedPrompts;

class ChartWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void offersTheScaledChartOnlyAfterAScaledRun();
    void savesUnderTheChosenNameWithItsExtensionOrNotAtAll();
    void failedSaveNamesTheFile();
    void theVelbrandTorvaneChartIsShownAndSavedInsteadWhenChosen();
    void namesOfADenseClusterMoveOutwardsClearOfEachOtherAndOfTheNumbers();
    void followsTheMainWindowsRunsAndNamesItsDataFile();
    void theTreeFollowsTheMatrixAndTheRootAndIsSavedWhole();
    void theTreeCarriesTheSupportOfTheRunsBootstrapUntilTheNextRunOrBootstrap();
    void aTreeOfOnePopulationSaysWhyItIsNotDrawn();

private:
    ProgramState m_state;
    ScriptedPrompts m_prompts;
};

void ChartWindowTest::init()
{
    m_state = {};
    m_prompts = {};
    // Two populations mirrored through the origin; the scaled pass swaps their sides.
    AnalysisResults& r = m_state.results;
    r.populationNames = {"East", "West"};
    r.pcScores = Matrix(2, 2);
    r.pcScores(0, 0) = 0.4;
    r.pcScores(0, 1) = 0.1;
    r.pcScores(1, 0) = -0.4;
    r.pcScores(1, 1) = -0.1;
    r.scaledPcScores = Matrix(2, 2);
    r.scaledPcScores(0, 0) = -0.3;
    r.scaledPcScores(1, 0) = 0.3;
    r.pcShares = {100.0, 0.0};
    r.scaledPcShares = {100.0, 0.0};
    r.rMatrix = Matrix(2, 2);
    r.rMatrix(0, 0) = 0.25;
    r.rMatrix(1, 1) = 0.05;
    r.residualVariance = {-0.1, 0.1};
    m_state.matrixCount = 1;
}

// Overlap of two boxes, strictly; touching counts when touching is asked about.
bool meet(const ChartRect& a, const ChartRect& b, double margin = 0.0)
{
    return a.left < b.right() + margin && b.left < a.right() + margin &&
           a.top < b.bottom() + margin && b.top < a.bottom() + margin;
}

void ChartWindowTest::namesOfADenseClusterMoveOutwardsClearOfEachOtherAndOfTheNumbers()
{
    // 29 populations within a few hundredths of each other and one far away, which sets the
    // scale, as a run of thirty related populations gives
    AnalysisResults& r = m_state.results;
    const int g = 30;
    r.populationNames.clear();
    r.pcScores = Matrix(g, 2);
    for (int i = 0; i < g - 1; ++i) {
        r.populationNames.push_back("Population " + std::to_string(i + 1));
        r.pcScores(static_cast<std::size_t>(i), 0) = 0.01 * (i % 6);
        r.pcScores(static_cast<std::size_t>(i), 1) = 0.012 * (i / 6);
    }
    r.populationNames.push_back("Outlier");
    r.pcScores(g - 1, 0) = -1.0;
    r.pcScores(g - 1, 1) = -0.8;
    r.pcShares = {70.0, 20.0};
    ChartWindow window(m_state, m_prompts);
    const ChartLayout& layout = window.chartLayout();
    QCOMPARE(layout.labels.size(), std::size_t{30});

    QStringList faults;
    bool anyLeader = false;
    for (std::size_t i = 0; i < layout.labels.size(); ++i) {
        const ChartLabel& a = layout.labels[i];
        anyLeader = anyLeader || a.leader;
        if (!layout.frame.contains(a.box)) {
            faults << QString::fromStdString(a.text) + " leaves the frame";
        }
        for (std::size_t j = i + 1; j < layout.labels.size(); ++j) {
            if (meet(a.box, layout.labels[j].box)) {
                faults << QString::fromStdString(a.text + " on " + layout.labels[j].text);
            }
        }
        for (const auto* ticks : {&layout.xTicks, &layout.yTicks}) {
            for (const ChartTick& t : *ticks) {
                if (!t.label.empty() && meet(a.box, t.labelBox, 0.5)) {
                    faults << QString::fromStdString(a.text + " touches " + t.label);
                }
            }
        }
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    QVERIFY(anyLeader); // the cluster has no room for thirty names beside their points
}

void ChartWindowTest::cleanup()
{
    m_prompts.verifyAllUsed();
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void ChartWindowTest::offersTheScaledChartOnlyAfterAScaledRun()
{
    ChartWindow window(m_state, m_prompts);
    QCOMPARE(window.objectName(), QStringLiteral("ChartWindow"));
    QCOMPARE(window.cboMatrix->count(), 1);
    QVERIFY(window.chartLayout().points[0].x > window.chartLayout().points[1].x);

    m_state.matrixCount = 2;
    window.refresh();
    QCOMPARE(window.cboMatrix->count(), 2);
    window.cboMatrix->setCurrentIndex(1);
    QVERIFY(window.chartLayout().points[0].x < window.chartLayout().points[1].x);
    QVERIFY(QString::fromStdString(window.chartLayout().title).contains(QStringLiteral("Scaled")));

    // a refresh keeps the scaled choice while the run offers it, and drops it when not
    window.refresh();
    QCOMPARE(window.cboMatrix->currentIndex(), 1);
    m_state.matrixCount = 1;
    window.refresh();
    QCOMPARE(window.cboMatrix->count(), 1);
    QVERIFY(window.chartLayout().points[0].x > window.chartLayout().points[1].x);
}

// A bare name gets its suffix from the file dialog, which then asks before it overwrites.
void ChartWindowTest::savesUnderTheChosenNameWithItsExtensionOrNotAtAll()
{
    QTemporaryDir dir;
    QFile old(dir.filePath(QStringLiteral("figure.png")));
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    ChartWindow window(m_state, m_prompts);
    m_prompts.queueSaveFileName(dir.filePath(QStringLiteral("figure")));
    QTest::mouseClick(window.btnSavePng, Qt::LeftButton);
    QCOMPARE(m_prompts.lastRequest().defaultSuffix, QStringLiteral("png"));
    QCOMPARE(QImage(dir.filePath(QStringLiteral("figure.png"))).size(), QSize(2100, 2100));
    QCOMPARE(m_prompts.shown().front().owner.data(), window.btnSavePng);

    m_prompts.queueSaveFileName(dir.filePath(QStringLiteral("figure.SVG")));
    QTest::mouseClick(window.btnSaveSvg, Qt::LeftButton);
    QCOMPARE(m_prompts.lastRequest().defaultSuffix, QStringLiteral("svg"));
    QFile svg(dir.filePath(QStringLiteral("figure.SVG")));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    const QByteArray bytes = svg.readAll();
    QVERIFY(bytes.contains("East"));
    QVERIFY(bytes.contains("West"));

    // each save is confirmed; Cancel writes nothing and says nothing
    QCOMPARE(m_prompts.shownTexts(), QStringList(2, QStringLiteral("File has been saved.")));
    m_prompts.queueSaveFileName(std::nullopt);
    QTest::mouseClick(window.btnSavePng, Qt::LeftButton);
    QCOMPARE(QDir(dir.path()).count(), 4u); // ".", "..", and the two files
    QCOMPARE(m_prompts.shown().size(), 2);
}

void ChartWindowTest::failedSaveNamesTheFile()
{
    QTemporaryDir dir;
    ChartWindow window(m_state, m_prompts);
    const QString path = dir.filePath(QStringLiteral("missing-dir/figure.svg"));
    m_prompts.queueSaveFileName(path);
    QTest::mouseClick(window.btnSaveSvg, Qt::LeftButton);
    QCOMPARE(m_prompts.shown().size(), 1);
    QCOMPARE(m_prompts.shown().front().icon, UserPrompts::Icon::Critical);
    QVERIFY2(m_prompts.shown().front().text.contains(path),
             qPrintable(m_prompts.shown().front().text));
    QVERIFY(!QFile::exists(path));
}

void ChartWindowTest::theVelbrandTorvaneChartIsShownAndSavedInsteadWhenChosen()
{
    QTemporaryDir dir;
    m_state.matrixCount = 2;
    m_state.dataSet.dataPath = dir.filePath(QStringLiteral("pops.tvk")).toStdString();
    ChartWindow window(m_state, m_prompts);
    QCOMPARE(window.cboChart->objectName(), QStringLiteral("cboChart"));
    window.cboMatrix->setCurrentIndex(1);
    window.cboChart->setCurrentIndex(1);
    QVERIFY(window.chartLayout().points.empty());
    const VtChartLayout& vt = window.vtChartLayout();
    QCOMPARE(vt.points.size(), std::size_t{2});
    QCOMPARE(vt.above, (std::vector<bool>{false, true}));
    QVERIFY(!window.cboMatrix->isEnabled()); // one R matrix for this analysis
    QCOMPARE(window.windowTitle(), QStringLiteral("Velbrand-Torvane Chart - pops.tvk"));

    // the file saved is the chart shown
    m_prompts.queueSaveFileName(dir.filePath(QStringLiteral("vt.svg")));
    QTest::mouseClick(window.btnSaveSvg, Qt::LeftButton);
    QFile svg(dir.filePath(QStringLiteral("vt.svg")));
    QVERIFY(svg.open(QIODevice::ReadOnly));
    const QByteArray bytes = svg.readAll();
    QVERIFY(bytes.contains(">Velbrand-Torvane Analysis</text>"));
    QVERIFY(bytes.contains("more gene flow from outside"));

    // a new run keeps the choice; no run clears it; back to the principal coordinates, the
    // matrix choice is offered again and the scaled one was kept
    window.refresh();
    QCOMPARE(window.cboChart->currentIndex(), 1);
    QCOMPARE(window.vtChartLayout().points.size(), std::size_t{2});
    window.followRun(false);
    QVERIFY(window.vtChartLayout().points.empty());
    QVERIFY(!window.btnSaveSvg->isEnabled());
    QVERIFY(!window.cboChart->isEnabled());
    window.followRun(true);
    window.cboChart->setCurrentIndex(0);
    QVERIFY(window.cboMatrix->isEnabled());
    QCOMPARE(window.cboMatrix->currentIndex(), 1);
    QVERIFY(window.vtChartLayout().points.empty());
    QCOMPARE(window.chartLayout().points.size(), std::size_t{2});
    QCOMPARE(window.windowTitle(), QStringLiteral("Principal Coordinates Chart - pops.tvk"));
    QCOMPARE(m_prompts.shownTexts(), QStringList{QStringLiteral("File has been saved.")});
}

void ChartWindowTest::followsTheMainWindowsRunsAndNamesItsDataFile()
{
    test::WindowHarness h;
    QVERIFY(h.openAndRun(test::threePopulations, false, false));
    QVERIFY(h.trigger("mnuChart"));
    ChartWindow* chart = h.window->findChild<ChartWindow*>();
    QVERIFY(chart != nullptr);
    QCOMPARE(chart->chartLayout().points.size(), std::size_t{3});
    QVERIFY(chart->windowTitle().endsWith(QStringLiteral(" - pops.tvk")));

    // another data file: no chart of the earlier one is shown or saved
    QVERIFY(h.open(h.writeFile(QStringLiteral("equal.tvk"), test::equalSizes)));
    QVERIFY(chart->isVisible());
    QVERIFY(chart->chartLayout().points.empty());
    QVERIFY(!chart->btnSavePng->isEnabled());
    QVERIFY(!chart->btnSaveSvg->isEnabled());
    QVERIFY(chart->chartView->emptyText().contains(QStringLiteral("no completed run")));
    QVERIFY(chart->windowTitle().endsWith(QStringLiteral(" - equal.tvk")));

    QVERIFY(h.runAll());
    QCOMPARE(chart->chartLayout().points.size(), std::size_t{3});
    QVERIFY(chart->btnSavePng->isEnabled());
    // a cancelled File > Open also takes the Output menu, and with it the chart, away
    h.prompts.queueOpenFileName(std::nullopt);
    QVERIFY(h.trigger("mnuFileOpen"));
    QVERIFY(chart->chartLayout().points.empty());
    h.prompts.verifyAllUsed();
    h.window->close();
}

namespace {

const QStringList highlandNames{
    "Ostvarrin", "Kelmoth", "Harnavel", "Tullibrack", "Saundry Fell", "Mirrowdale"};

QStringList tipNames(const TreeChartLayout& layout)
{
    QStringList names;
    for (const ChartLabel& label : layout.labels) {
        names.append(QString::fromStdString(label.text));
    }
    return names;
}

// The tree of a run of the highland example, scaled when asked.
ChartWindow* openTree(test::WindowHarness& h, bool scaled)
{
    if (!h.open(QStringLiteral(TAVRIK_EXAMPLES "/highland.tvk")) || !h.setOptions(scaled, false) ||
        !h.runAll() || !h.lastRunSucceeded || !h.trigger("mnuChart")) {
        return nullptr;
    }
    auto* chart = h.window->findChild<ChartWindow*>();
    chart->cboChart->setCurrentIndex(chart->cboChart->findText(QStringLiteral("Tree")));
    return chart;
}

} // namespace

// Every chosen population once, the scale bar in the units of the matrix chosen, rooted on the
// population chosen (its tip hangs from the root), and saved whole.
void ChartWindowTest::theTreeFollowsTheMatrixAndTheRootAndIsSavedWhole()
{
    test::WindowHarness h;
    ChartWindow* chart = openTree(h, true);
    QVERIFY(chart != nullptr);
    QVERIFY(chart->cboTreeRoot->isVisible());
    QCOMPARE(chart->cboTreeRoot->count(), 7);
    QCOMPARE(chart->cboTreeRoot->itemText(0), QStringLiteral("Midpoint"));
    const TreeChartLayout& tree = chart->treeChartLayout();
    QCOMPARE(tipNames(tree), highlandNames);
    QCOMPARE(tree.title, std::string("Neighbor-Joining Tree"));
    QVERIFY(tree.barLabel.text.ends_with(" D-square"));
    QVERIFY(tree.supports.empty()); // no bootstrap yet
    QCOMPARE(chart->windowTitle(), QStringLiteral("Tree Chart - highland.tvk"));

    chart->cboMatrix->setCurrentIndex(1);
    QVERIFY(tree.barLabel.text.ends_with(" Scaled D-square"));
    chart->cboMatrix->setCurrentIndex(0);
    QVERIFY(tree.barLabel.text.ends_with(" D-square") &&
            !tree.barLabel.text.ends_with("Scaled D-square"));

    chart->cboTreeRoot->setCurrentIndex(chart->cboTreeRoot->findText(QStringLiteral("Kelmoth")));
    const double rootX =
        std::ranges::min(tree.branches, {}, [](const TreeSegment& s) { return s.from.x; }).from.x;
    const ChartPoint kelmoth = tree.tips[1];
    QVERIFY(std::ranges::any_of(tree.branches, [&](const TreeSegment& s) {
        return s.to.x == kelmoth.x && s.to.y == kelmoth.y && s.from.x == rootX;
    }));
    // a new run keeps the root chosen while it has that population
    QVERIFY(h.runAll());
    QCOMPARE(chart->cboTreeRoot->currentText(), QStringLiteral("Kelmoth"));

    const QString svg = h.dir.filePath(QStringLiteral("tree.svg"));
    h.prompts.queueSaveFileName(svg);
    QTest::mouseClick(chart->btnSaveSvg, Qt::LeftButton);
    const QByteArray bytes = test::fileBytes(svg);
    for (const QString& name : highlandNames) {
        QVERIFY2(bytes.contains(QStringLiteral(">%1</text>").arg(name).toUtf8()), qPrintable(name));
    }
    QCOMPARE(h.prompts.shownTexts(), QStringList{QStringLiteral("File has been saved.")});

    chart->cboChart->setCurrentIndex(0);
    QVERIFY(!chart->cboTreeRoot->isVisible());
    h.prompts.verifyAllUsed();
    h.window->close();
}

// The support appears in the open window when a bootstrap of the run shown ends: shares of 40
// replicates, multiples of 2.5 %, and the split of Kelmoth, Saundry Fell and Mirrowdale from the
// rest near 100 %. A new run takes it away with the bootstrap's result, and so does the start
// of the next bootstrap.
void ChartWindowTest::theTreeCarriesTheSupportOfTheRunsBootstrapUntilTheNextRunOrBootstrap()
{
    test::WindowHarness h;
    ChartWindow* chart = openTree(h, false);
    QVERIFY(chart != nullptr);
    QVERIFY(h.trigger("mnuBootstrap"));
    auto* boot = h.window->findChild<BootstrapWindow*>();
    QSignalSpy ended(boot, &BootstrapWindow::bootstrapFinished);
    const auto bootstrap = [&](int replicates) {
        boot->spnReplicates->setValue(replicates);
        QTest::mouseClick(boot->btnRun, Qt::LeftButton);
    };
    const TreeChartLayout& tree = chart->treeChartLayout();
    const auto groupsSplit = [&] {
        bool found = false;
        for (const ChartLabel& support : tree.supports) {
            bool number = false;
            const double percent = QString::fromStdString(support.text).toDouble(&number);
            if (!number || percent < 0.0 || percent > 100.0 || std::fmod(percent, 2.5) != 0.0) {
                return false;
            }
            found = found || percent >= 90.0;
        }
        return found;
    };
    bootstrap(40);
    QVERIFY(ended.wait(30000));
    QCOMPARE(ended.takeFirst().at(0).toBool(), true);
    QCOMPARE(tipNames(tree), highlandNames);
    QVERIFY2(groupsSplit(), tree.supports.empty() ? "none" : tree.supports[0].text.c_str());

    QVERIFY(h.runAll());
    QVERIFY(h.lastRunSucceeded);
    QVERIFY(!boot->result().has_value());
    QCOMPARE(tipNames(tree), highlandNames);
    QVERIFY(tree.supports.empty());

    bootstrap(40);
    QVERIFY(ended.wait(30000));
    QVERIFY(groupsSplit());
    bootstrap(boot->spnReplicates->maximum());
    QVERIFY(boot->isRunning());
    QVERIFY(tree.supports.empty());
    QTest::mouseClick(boot->btnCancel, Qt::LeftButton);
    QVERIFY(ended.wait(30000));
    QVERIFY(tree.supports.empty());
    QVERIFY(h.prompts.shown().isEmpty());
    h.window->close();
}

void ChartWindowTest::aTreeOfOnePopulationSaysWhyItIsNotDrawn()
{
    m_state.results.populationNames = {"East"};
    m_state.results.dSquare = Matrix(1, 1);
    ChartWindow window(m_state, m_prompts);
    window.cboChart->setCurrentIndex(2);
    QVERIFY(window.treeChartLayout().tips.empty());
    QVERIFY(!window.btnSaveSvg->isEnabled());
    QCOMPARE(window.chartView->emptyText(),
             QStringLiteral("A tree needs the distances between at least two populations."));
}

} // namespace tavrik

QTEST_MAIN(tavrik::ChartWindowTest)
#include "ChartWindowTest.moc"
