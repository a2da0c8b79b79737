// The chart window against the state, the chart's saves and the menus' access keys.
#include "ui/ChartWindow.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include "WindowHarness.h"

using namespace tavrik;
using namespace tavrik::test;

namespace {

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

} // namespace

class WindowDefectsTest : public WindowTest
{
    Q_OBJECT

private slots:
    void theChartFollowsTheStateAndNamesTheDataFile()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        QVERIFY(h->trigger("mnuChart"));
        ChartWindow* chart = h->window->chartWindow;
        QCOMPARE(chart->chartLayout().points.size(), std::size_t{3});
        QVERIFY(chart->windowTitle().endsWith(" - pops.tvk"));

        // another data file: no chart of the earlier one is shown or saved
        QVERIFY(h->open(h->writeFile("equal.tvk", equalSizes)));
        QVERIFY(chart->isVisible());
        QVERIFY(chart->chartLayout().points.empty());
        QVERIFY(!chart->btnSavePng->isEnabled());
        QVERIFY(!chart->btnSaveSvg->isEnabled());
        QVERIFY(chart->chartView->emptyText().contains("no completed run"));
        QVERIFY(chart->windowTitle().endsWith(" - equal.tvk"));

        QVERIFY(h->runAll());
        QCOMPARE(chart->chartLayout().points.size(), std::size_t{3});
        QVERIFY(chart->btnSavePng->isEnabled());
        // a cancelled File > Open also takes the Output menu, and with it the chart, away
        h->prompts.queueOpenFileName(std::nullopt);
        QVERIFY(h->trigger("mnuFileOpen"));
        QVERIFY(chart->chartLayout().points.empty());
        chart->close();
    }

    void aBareChartNameGetsItsSuffixBeforeTheOverwriteQuestionAndIsConfirmed()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        QVERIFY(h->trigger("mnuChart"));
        ChartWindow* chart = h->window->chartWindow;
        const QString existing = h->writeFile("chart1.png", "old");

        h->prompts.queueSaveFileName(h->dir.filePath("chart1"));
        chart->btnSavePng->click();
        QCOMPARE(h->prompts.lastRequest().defaultSuffix, QString("png"));
        QVERIFY(fileBytes(existing).startsWith("\x89PNG"));
        QCOMPARE(h->prompts.shown().size(), 1);
        QCOMPARE(h->prompts.shown().front().title, QString("TAVRIK"));
        QCOMPARE(h->prompts.shown().front().text, QString("File has been saved."));
        QCOMPARE(h->prompts.shown().front().owner.data(), chart->btnSavePng);

        h->prompts.queueSaveFileName(h->dir.filePath("chart1"));
        chart->btnSaveSvg->click();
        QCOMPARE(h->prompts.lastRequest().defaultSuffix, QString("svg"));
        QVERIFY(fileBytes(h->dir.filePath("chart1.svg")).contains("<svg"));
        chart->close();
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
        QCOMPARE(h->window->mnuChart->text(), QString("C&harts..."));
    }
};

QTEST_MAIN(WindowDefectsTest)
#include "WindowDefectsTest.moc"
