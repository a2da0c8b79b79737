// The chart window against the state, the chart's saves and the menus' access keys.
#include "ui/BootstrapWindow.h"
#include "ui/ChartWindow.h"
#include "ui/MantelWindow.h"
#include "ui/SweepWindow.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
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

} // namespace

class WindowDefectsTest : public WindowTest
{
    Q_OBJECT

private slots:
    void theChartFollowsTheStateAndNamesTheDataFile()
    {
        QVERIFY(h->openAndRun(threePopulations, false, false));
        QVERIFY(h->trigger("mnuChart"));
        ChartWindow* chart = h->find<ChartWindow>("ChartWindow");
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
        ChartWindow* chart = h->find<ChartWindow>("ChartWindow");
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
        const QList<QWidget*> windows{h->find<SweepWindow>("SweepWindow"),
                                      h->find<BootstrapWindow>("BootstrapWindow"),
                                      h->find<MantelWindow>("MantelWindow"),
                                      h->find<ChartWindow>("ChartWindow")};
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
        MantelWindow* mantel = h->find<MantelWindow>("MantelWindow");
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
        QCOMPARE(h->find<MantelWindow>("MantelWindow")->size(), chosen);
        for (QWidget* w : {static_cast<QWidget*>(h->find<SweepWindow>("SweepWindow")),
                           static_cast<QWidget*>(h->find<BootstrapWindow>("BootstrapWindow")),
                           static_cast<QWidget*>(h->find<MantelWindow>("MantelWindow")),
                           static_cast<QWidget*>(h->find<ChartWindow>("ChartWindow"))}) {
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
        QCOMPARE(h->find<QAction>("mnuChart")->text(), QString("C&harts..."));
    }
};

QTEST_MAIN(WindowDefectsTest)
#include "WindowDefectsTest.moc"
