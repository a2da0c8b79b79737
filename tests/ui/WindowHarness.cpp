#include "WindowHarness.h"

#include "report/Clock.h"
#include "ui/AnalysisDialog.h"
#include "ui/ImportCsvDialog.h"
#include "ui/OptionsDialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>

namespace tavrik::test {

const char* const threePopulations = "Example data set\n"
                                     "3, 2\n"
                                     "North, 1, 150\n"
                                     "Coast, 2, 300\n"
                                     "Hills, 3, 300\n"
                                     "Stature, Head length\n"
                                     "1, 170.5, 191.0\n"
                                     "1, 172.25, 193.0\n"
                                     "1, 168.0, 190.5\n"
                                     "1, 175.5, 189.0\n"
                                     "2, 168.0, 188.5\n"
                                     "2, 164.5, 187.0\n"
                                     "2, 166.0, 190.0\n"
                                     "2, 169.5, 186.5\n"
                                     "3, 165.0, 186.0\n"
                                     "3, 161.5, 184.5\n"
                                     "3, 163.0, 188.0\n"
                                     "3, 167.0, 185.0\n";

const char* const equalSizes = "Equal sizes\n"
                               "3, 2\n"
                               "North, 1, 300\n"
                               "Coast, 2, 300\n"
                               "Hills, 3, 300\n"
                               "Stature, Head length\n"
                               "1, 170.5, 191.0\n"
                               "1, 172.25, 193.0\n"
                               "2, 168.0, 188.5\n"
                               "2, 164.5, 187.0\n"
                               "3, 165.0, 186.0\n"
                               "3, 161.5, 184.5\n";

const char* const identicalVariables = "Twins\n"
                                       "3, 3\n"
                                       "North, 1, 150\n"
                                       "Coast, 2, 300\n"
                                       "Hills, 3, 300\n"
                                       "Left, Middle, Right\n"
                                       "1, 170.5, 191.0, 170.5\n"
                                       "1, 172.25, 193.0, 172.25\n"
                                       "1, 168.0, 190.5, 168.0\n"
                                       "2, 168.0, 188.5, 168.0\n"
                                       "2, 164.5, 187.0, 164.5\n"
                                       "2, 166.0, 190.0, 166.0\n"
                                       "3, 165.0, 186.0, 165.0\n"
                                       "3, 161.5, 184.5, 161.5\n"
                                       "3, 163.0, 188.0, 163.0\n";

QByteArray manyPopulations()
{
    QByteArray data = "Many populations\n30, 1\n";
    for (int i = 1; i <= 30; ++i) {
        data += QStringLiteral("Population %1, %2, %3\n")
                    .arg(i, 2, 10, QChar('0'))
                    .arg(i)
                    .arg(100 + i)
                    .toLatin1();
    }
    data += "Stature\n";
    for (int i = 1; i <= 30; ++i) {
        data += QStringLiteral("%1, %2\n%1, %3\n").arg(i).arg(160 + i).arg(163 + 2 * i).toLatin1();
    }
    return data;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

QString openedText(const QString& path, const QString& title, int populations, int variables)
{
    return QStringLiteral("TAVRIK 5.0\n"
                          "Thursday, January 01, 1970     12:00 AM\n"
                          "\n"
                          "\n"
                          "Data file = %1\n"
                          "\n"
                          "Data set: %2\n"
                          "\n"
                          "Data available for  %3  populations and  %4  variables\n")
        .arg(path, title)
        .arg(populations)
        .arg(variables);
}

QString useSettingsIn(const QTemporaryDir& dir)
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    return dir.path();
}

WindowHarness::WindowHarness()
    : settingsPath(useSettingsIn(settingsDir))
    , window(std::make_unique<MainWindow>(state, prompts, fixedUtcClock(fixedEpoch)))
{
    window->show();
}

void WindowHarness::restartWindow()
{
    window->close();
    window = std::make_unique<MainWindow>(state, prompts, fixedUtcClock(fixedEpoch));
    window->show();
}

WindowHarness::~WindowHarness() = default;

QString WindowHarness::writeFile(const QString& name, const QByteArray& content) const
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
        return {};
    }
    return path;
}

bool WindowHarness::open(const QString& fileName)
{
    prompts.queueOpenFileName(fileName);
    return trigger("mnuFileOpen");
}

bool WindowHarness::runAll()
{
    if (!trigger("mnuRun") || analysisDialog() == nullptr) {
        return false;
    }
    analysisDialog()->btnRun->click();
    return waitForRun();
}

bool WindowHarness::waitForRun()
{
    if (!window->isRunning()) {
        return false;
    }
    QSignalSpy finished(window.get(), &MainWindow::runFinished);
    if (!finished.wait(30000)) {
        return false;
    }
    lastRunSucceeded = finished.constFirst().constFirst().toBool();
    return true;
}

bool WindowHarness::setOptions(bool scaling, bool showMatrices)
{
    if (!trigger("mnuOpt")) {
        return false;
    }
    find<OptionsDialog>("Options")->CheckScaling->setChecked(scaling);
    find<OptionsDialog>("Options")->CheckOutput->setChecked(showMatrices);
    find<OptionsDialog>("Options")->btnOK->click();
    return true;
}

bool WindowHarness::openAndRun(const QByteArray& data, bool scaling, bool showMatrices)
{
    return open(writeFile("pops.tvk", data)) && setOptions(scaling, showMatrices) && runAll() &&
           lastRunSucceeded;
}

bool WindowHarness::trigger(const char* name)
{
    if (!enabled(name)) {
        return false;
    }
    window->findChild<QAction*>(QString::fromLatin1(name))->trigger();
    return true;
}

bool WindowHarness::enabled(const char* name) const
{
    const auto* action = window->findChild<QAction*>(QString::fromLatin1(name));
    if (action == nullptr || !action->isEnabled()) {
        return false;
    }
    // an item counts only when the menu that holds it can be opened
    for (const QMenu* menu : window->findChildren<QMenu*>()) {
        if (menu->actions().contains(action) && !menu->menuAction()->isEnabled()) {
            return false;
        }
    }
    return true;
}

QPlainTextEdit* WindowHarness::textBox() const
{
    return find<QPlainTextEdit>("txtBox");
}

namespace {

template <typename T> T* openChild(const MainWindow& window, const char* objectName)
{
    for (T* child : window.findChildren<T*>(QString::fromLatin1(objectName))) {
        if (child->isVisible()) {
            return child;
        }
    }
    return nullptr;
}

} // namespace

AnalysisDialog* WindowHarness::analysisDialog() const
{
    return openChild<AnalysisDialog>(*window, "Analysis");
}

ImportCsvDialog* WindowHarness::importDialog() const
{
    return openChild<ImportCsvDialog>(*window, "ImportCsv");
}

QString WindowHarness::text() const
{
    return textBox()->toPlainText();
}

QStringList visibleTopLevels()
{
    QStringList names;
    for (const QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible()) {
            names << (w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                                : w->objectName());
        }
    }
    return names;
}

void WindowTest::startWindow()
{
    h = std::make_unique<WindowHarness>();
    QVERIFY(h->dir.isValid());
}

void WindowTest::expectSaved(const QString& file)
{
    QCOMPARE(h->prompts.shown().size(), 1);
    QCOMPARE(h->prompts.shown().front().text, QString("File has been saved."));
    QVERIFY(QFileInfo(file).isFile());
    h->prompts.clearShown();
}

void WindowTest::cleanup()
{
    h->prompts.verifyAllUsed();
    // edits a test left in the report are not what it is about: no question at the close
    h->textBox()->document()->setModified(false);
    h->window->close();
    QCOMPARE(visibleTopLevels(), QStringList());
    h.reset();
}

} // namespace tavrik::test
