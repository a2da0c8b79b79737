// A fresh main window for each GUI test: its own state, scripted prompts, a fixed report
// clock and a temporary folder for data files.
#pragma once

#include "state/ProgramState.h"
#include "ui/MainWindow.h"

#include <QTemporaryDir>

#include <memory>

#include "ScriptedPrompts.h"

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

class WindowHarness
{
public:
    WindowHarness();
    ~WindowHarness();

    QString writeFile(const QString& name, const QByteArray& content) const;
    // File > Open answered with this file name.
    bool open(const QString& fileName);
    // Analysis > Run... and Run with everything chosen; waits until the run has ended.
    bool runAll();
    // Waits for the run started last; true when it ended within the time allowed.
    bool waitForRun();
    // Triggers the named menu item; false when it is missing or disabled.
    bool trigger(const char* name);
    // Enabled as the user sees it: the item and the menu that holds it.
    bool enabled(const char* name) const;
    QString text() const;

    ProgramState state;
    ScriptedPrompts prompts;
    std::unique_ptr<MainWindow> window;
    QTemporaryDir dir;
    bool lastRunSucceeded = false;
};

// The test's windows that are still visible.
QStringList visibleTopLevels();

} // namespace tavrik::test
