// A fresh main window for each GUI test: its own state, scripted prompts, a fixed report
// clock, a temporary folder for data files and an empty settings store of its own.
#pragma once

#include "state/ProgramState.h"
#include "ui/MainWindow.h"

#include <QObject>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <memory>

#include "ScriptedPrompts.h"

namespace tavrik {
class AnalysisDialog;
class ImportCsvDialog;
} // namespace tavrik

namespace tavrik::test {

// Thursday, January 01, 1970, 12:00 AM in every report header.
inline constexpr long long fixedEpoch = 0;

// Three populations of unequal size (150, 300, 300), two variables, four records each.
extern const char* const threePopulations;
// The same with every population of size 300.
extern const char* const equalSizes;
// Three variables of which the first and the third hold the same values in every record:
// with both chosen the covariance matrix is singular.
extern const char* const identicalVariables;
// Thirty populations with two records each: the matrix listing alone passes 24000 bytes, more
// than the screen takes.
QByteArray manyPopulations();

// The bytes of a file; "(missing)" when it cannot be read.
QByteArray fileBytes(const QString& path);
// The text box after File Open of this file, with the report time fixedEpoch.
QString openedText(const QString& path, const QString& title, int populations, int variables);

class WindowHarness
{
public:
    WindowHarness();
    ~WindowHarness();

    // Closes the window and starts a new one on the same state and settings, as the next
    // session of the program would.
    void restartWindow();

    QString writeFile(const QString& name, const QByteArray& content) const;
    // File > Open answered with this file name.
    bool open(const QString& fileName);
    // Analysis > Run... and Run with everything chosen; waits until the run has ended.
    bool runAll();
    // Waits for the run started last; true when it ended within the time allowed.
    bool waitForRun();
    // Options with these two boxes set, then OK.
    bool setOptions(bool scaling, bool showMatrices);
    // Opens the data as pops.tvk and runs with everything chosen and these options; true when
    // the run succeeded.
    bool openAndRun(const QByteArray& data, bool scaling, bool showMatrices);
    // Triggers the named menu item; false when it is missing or disabled.
    bool trigger(const char* name);
    // Enabled as the user sees it: the item and the menu that holds it.
    bool enabled(const char* name) const;
    QString text() const;

    // The window's widget, action, dialog or window of this class and objectName; nullptr
    // when it has none (yet).
    template <typename T> T* find(const char* objectName) const
    {
        return window->findChild<T*>(QString::fromLatin1(objectName));
    }
    QPlainTextEdit* textBox() const;
    // The Analysis dialog and the import dialog while they are open; a closed one may still
    // wait to be deleted, and is not counted.
    AnalysisDialog* analysisDialog() const;
    ImportCsvDialog* importDialog() const;

    QTemporaryDir settingsDir; // before the window: it reads its settings when it starts
    QString settingsPath;      // settingsDir, once QSettings has been pointed at it
    ProgramState state;
    ScriptedPrompts prompts;
    std::unique_ptr<MainWindow> window;
    QTemporaryDir dir;
    bool lastRunSucceeded = false;
};

// Points the program's settings at dir and returns its path.
QString useSettingsIn(const QTemporaryDir& dir);

// The test's windows that are still visible.
QStringList visibleTopLevels();

// Base of the window tests: a fresh harness before every test function and, after it, the
// checks each one ends with: no queued answer left over and no window left open. A test that
// needs more before each function declares its own init() slot and calls startWindow().
class WindowTest : public QObject
{
    Q_OBJECT

protected:
    void startWindow();
    // The one message after a save, and the file it names; clears the messages shown.
    void expectSaved(const QString& file);

    std::unique_ptr<WindowHarness> h;

private slots:
    void init() { startWindow(); }
    void cleanup();
};

} // namespace tavrik::test
