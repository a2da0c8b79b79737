// The desktop program: tavrik [FILE]
// Hidden options for unattended use (documentation screenshots):
//   --run-all          after opening FILE, run the analysis on every population and variable
//   --screenshot PNG   once that is done, save a picture of the main window to PNG and quit
// SOURCE_DATE_EPOCH, when set, fixes the date and time written in the report.
#include "report/Clock.h"
#include "state/ProgramState.h"
#include "state/Version.h"
#include "ui/AboutBox.h"
#include "ui/HelpViewer.h"
#include "ui/MainWindow.h"
#include "ui/QtText.h"
#include "ui/QtUserPrompts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <new>
#include <string>
#include <string_view>
#include <utility>

namespace {

// A SOURCE_DATE_EPOCH that cannot be a report's time is refused: the user is told, and the
// reports show the local time.
tavrik::Clock reportClock(tavrik::UserPrompts& prompts)
{
    const QByteArray value = qgetenv("SOURCE_DATE_EPOCH");
    if (value.isEmpty()) {
        return tavrik::systemClock();
    }
    tavrik::Result<tavrik::Clock> fixed =
        tavrik::sourceDateClock(std::string_view(value.constData(), value.size()));
    if (fixed) {
        return std::move(*fixed);
    }
    const std::string text = fixed.error().message + "; the reports show the local time.";
    std::fprintf(stderr, "tavrik: %s\n", text.c_str());
    prompts.message(
        tavrik::UserPrompts::Icon::Warning, QStringLiteral("Warning"), tavrik::toQt(text));
    return tavrik::systemClock();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TAVRIK"));
    QApplication::setApplicationVersion(QString::fromLatin1(tavrik::programVersion));
    QApplication::setWindowIcon(QIcon(tavrik::programIcon(64)));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(tavrik::programTitle));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("data file to open"));
    QCommandLineOption runAll(QStringLiteral("run-all"));
    runAll.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption screenshot(QStringLiteral("screenshot"), QString(), QStringLiteral("PNG"));
    screenshot.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(runAll);
    parser.addOption(screenshot);
    parser.process(app);

    tavrik::ProgramState state;
    state.helpPath = tavrik::toStd(tavrik::defaultGuidePath());
    tavrik::QtUserPrompts prompts;
    tavrik::MainWindow window(state, prompts, reportClock(prompts));
    prompts.setParentWidget(&window);
    window.show();

    const QString screenshotFile = parser.value(screenshot);
    const auto takeScreenshot = [&] {
        const bool saved = window.grab().save(screenshotFile, "PNG");
        QApplication::exit(saved ? 0 : 1);
    };

    // Once the window is on screen, so that a message about the file is centred on it.
    QTimer::singleShot(0, &window, [&] {
        bool running = false;
        if (!parser.positionalArguments().isEmpty()) {
            const bool opened = window.openDataFile(parser.positionalArguments().constFirst());
            if (opened && parser.isSet(runAll)) {
                if (!screenshotFile.isEmpty()) {
                    QObject::connect(&window, &tavrik::MainWindow::runFinished, &window, [&] {
                        QTimer::singleShot(300, &window, takeScreenshot);
                    });
                }
                window.runAllPopulationsAndVariables();
                running = window.isRunning();
            }
        }
        if (!screenshotFile.isEmpty() && !running) {
            QTimer::singleShot(300, &window, takeScreenshot);
        }
    });
    try {
        return QApplication::exec();
    } catch (const std::bad_alloc&) {
        // An allocation outside the run failed (the run reports its own): say so, then end
        // without the abort that an uncaught exception would bring.
        const char* const text = "TAVRIK has run out of memory and has to close.";
        std::fputs("tavrik: ", stderr);
        std::fputs(text, stderr);
        std::fputs("\n", stderr);
        try {
            prompts.message(tavrik::UserPrompts::Icon::Critical,
                            QStringLiteral("Error"),
                            QString::fromLatin1(text));
        } catch (const std::bad_alloc&) {
            // the line on stderr has to do
        }
        return 1;
    }
}
