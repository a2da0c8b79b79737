// The desktop's run of a data file, timed as a user sees it: the main window on the offscreen
// platform opens the file, runs the analysis on every population and variable (all cores, the
// default memory budget), and the clock stops when the report is in the text box. Prints
// "SECONDS PEAK_MIB REPORT_CHARS CPU_SECONDS" (the processor time of the whole process), as
// RunBench does, so bench/speed.sh can set it beside the batch program on the same file.
//   DesktopBench FILE
#include "report/Clock.h"
#include "state/ProgramState.h"
#include "ui/MainWindow.h"
#include "ui/UserPrompts.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "ProcessUsage.h"

namespace {

using tavrik::bench::cpuSeconds;
using tavrik::bench::peakRssMiB;

// Any box or dialog the run would show means the measurement failed: say what it was and stop
// instead of waiting for a user.
class NoPrompts final : public tavrik::UserPrompts
{
public:
    using UserPrompts::message;
    void message(QWidget*, Icon, const QString& title, const QString& text) override
    {
        fail(title + QStringLiteral(": ") + text);
    }
    Answer
    ask(QWidget*, Icon, const QString& title, const QString& text, const QList<Answer>&) override
    {
        fail(title + QStringLiteral(": ") + text);
        return Answer::Cancel;
    }
    std::optional<QString> openFile(const tavrik::FileRequest&) override
    {
        fail(QStringLiteral("a file dialog"));
        return std::nullopt;
    }
    std::optional<QString> saveFile(const tavrik::FileRequest&) override
    {
        fail(QStringLiteral("a save dialog"));
        return std::nullopt;
    }
    std::optional<QFont> font(const QFont&) override
    {
        fail(QStringLiteral("a font dialog"));
        return std::nullopt;
    }

private:
    [[noreturn]] static void fail(const QString& what)
    {
        std::fprintf(stderr, "DesktopBench: the window asked: %s\n", qPrintable(what));
        std::_Exit(1);
    }
};

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: DesktopBench FILE\n", stderr);
        return 2;
    }
    // settings of its own, so that the user's remembered options play no part
    QTemporaryDir settings;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());

    tavrik::ProgramState state;
    NoPrompts prompts;
    tavrik::MainWindow window(state, prompts, tavrik::fixedUtcClock(0));
    window.show();

    std::chrono::steady_clock::time_point start;
    bool succeeded = false;
    QObject::connect(&window, &tavrik::MainWindow::runFinished, &window, [&](bool ok) {
        succeeded = ok;
        QApplication::exit(0);
    });
    QTimer::singleShot(0, &window, [&] {
        if (!window.openDataFile(QString::fromLocal8Bit(argv[1]))) {
            std::fputs("DesktopBench: the file did not open\n", stderr);
            QApplication::exit(1);
            return;
        }
        start = std::chrono::steady_clock::now();
        window.runAllPopulationsAndVariables();
        if (!window.isRunning()) {
            std::fputs("DesktopBench: the run did not start\n", stderr);
            QApplication::exit(1);
        }
    });
    if (QApplication::exec() != 0 || !succeeded) {
        return 1;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%.3f %.1f %lld %.3f\n",
                elapsed.count(),
                peakRssMiB(),
                static_cast<long long>(window.txtBox->toPlainText().size()),
                cpuSeconds());
    return 0;
}
