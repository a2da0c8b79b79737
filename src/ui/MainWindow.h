// The program's main window: the report text box and the menu bar from which every command
// starts. Menu enabling follows a table of events: each command changes CommandStates and
// applyCommandStates() pushes it to the widgets.
#pragma once

#include "analysis/AnalysisRun.h"
#include "datafile/CsvImport.h"
#include "export/SavedOutput.h"
#include "report/Clock.h"
#include "state/ProgramState.h"
#include "ui/BackgroundJob.h"
#include "ui/UserPrompts.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class QAction;
class QMenu;
class QMimeData;
class QPlainTextEdit;

namespace tavrik {

class AboutBox;
class AnalysisDialog;
class BootstrapWindow;
class MantelWindow;
class ChartWindow;
struct RunBootstrap;
class HelpViewer;
class ImportCsvDialog;
class OptionsDialog;
class ProgressWindow;
class SaveMatDialog;
class SweepWindow;

// What the commands have enabled so far; items without a flag are always enabled.
struct CommandStates
{
    bool cut = false;
    bool copy = false;
    bool paste = false;
    bool selectAll = false;
    bool analysisMenu = false;
    bool outputMenu = false;
    bool savePca2 = true; // follows scaledAnalysis of the last run
};

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    MainWindow(ProgramState& state, UserPrompts& prompts, Clock clock, QWidget* parent = nullptr);
    ~MainWindow() override;

    // File Open without the dialog (also for a file named on the command line). A file that
    // cannot be loaded is reported in a message box and changes nothing; returns false then.
    bool openDataFile(const QString& fileName);
    // As File > Open with this file chosen (a recent file, a dropped file): asks about unsaved
    // edits first and disables the Output menu.
    void openChosenFile(const QString& fileName);
    // File > Import CSV with this table chosen: it is read in the background, then the dialog
    // opens.
    void importCsvFile(const QString& csvName);
    // The report holds edits of a run's output that were not saved.
    bool hasUnsavedEdits() const;
    // As opening the Analysis dialog and pressing Run at once: every population and variable.
    void runAllPopulationsAndVariables();

    bool isRunning() const { return m_running; }

signals:
    // A run has ended and its outcome is on screen.
    void runFinished(bool succeeded);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildFileMenu();
    void buildEditMenu();
    void buildAnalysisMenu();
    void buildOutputMenu();
    void buildHelpMenu();
    void applyCommandStates();
    void updateTitle();
    void restoreSettings();
    void rememberRecentFile(const QString& fullPath);
    void fillRecentMenu();
    void openRecentFile(const QString& fileName);
    // Asks Save / Discard / Cancel when the report holds unsaved edits; true when the command
    // may go on.
    bool mayDiscardEdits();
    // The data file or CSV table a drop carries; empty when it carries neither.
    QString droppedFile(const QMimeData* mime) const;

    void fileOpen();
    void fileImport();
    void showImportDialog(Result<CsvTable> table);
    void finishImport(int result);
    void exitProgram();
    void cutText();
    void copyText();
    void pasteText();
    void selectAllText();
    void setScreenFont();
    void editMenuOpening();
    void showEditContextMenu(const QPoint& pos);
    void showAnalysisDialog();
    void showOptionsDialog();
    void showHelp();
    void showAbout();

    bool saveOutput();
    bool saveOutputAs();
    bool saveOutputToChosenFile(SaveKind kind);
    bool writeOutput(const QString& fileName, bool withListing);
    void showSaveMatDialog();
    void showChartWindow();
    void showSweepWindow();
    void showBootstrapWindow();
    void showMantelWindow();
    // The further analyses' windows follow the run the Output menu offers, or none.
    void followRunInWindows();
    // The Bootstrap window's result when it resampled the run the Output menu offers.
    RunBootstrap bootstrapOfRunShown() const;
    void savePcaScores();
    void saveScaledPcaScores();
    void saveVtResults();
    void saveResultsJson();
    void saveCsv(const std::string& text, const QString& confirmation);

    void startRun();
    void finishRun(Result<RunOutput> result);
    void showRunProgress(int pass, int percent);

    // The menus, their items and the report box are named as their objectNames; the
    // separators need no member.
    QMenu* mnuFile = nullptr;
    QAction* mnuFileOpen = nullptr;
    QAction* mnuFileImport = nullptr;
    QMenu* mnuRecent = nullptr; // "Recent &Files": the last data files opened
    QAction* mnuExit = nullptr;

    QMenu* mnuEdit = nullptr;
    QAction* mnuCut = nullptr;
    QAction* mnuCopy = nullptr;
    QAction* mnuPaste = nullptr;
    QAction* mnuSelectAll = nullptr;
    QAction* mnuSetFont = nullptr;

    QMenu* mnuAnal = nullptr;
    QAction* mnuRun = nullptr;
    QAction* mnuOpt = nullptr;
    QAction* mnuSweep = nullptr;     // enabled with the Output menu
    QAction* mnuBootstrap = nullptr; // likewise
    QAction* mnuMantel = nullptr;    // likewise

    QMenu* mnuOutput = nullptr;
    QAction* mnuSave = nullptr;
    QAction* mnuSaveOut = nullptr;
    QAction* mnuSaveMat = nullptr;
    QAction* mnuSavePCA1 = nullptr;
    QAction* mnuSavePCA2 = nullptr;
    QAction* mnuSaveRB1 = nullptr;
    QAction* mnuSaveJson = nullptr;
    QAction* mnuChart = nullptr;

    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpText = nullptr;
    QAction* mnuAbout = nullptr;

    QPlainTextEdit* txtBox = nullptr;

    OptionsDialog* optionsDialog = nullptr;  // created once, hidden until shown
    QPointer<AnalysisDialog> analysisDialog; // exists while open; every opening starts afresh
    ProgressWindow* progressWindow = nullptr;
    SaveMatDialog* saveMatDialog = nullptr;     // created on first use, starts afresh after a close
    AboutBox* aboutBox = nullptr;               // created on first use, then shown again
    HelpViewer* helpViewer = nullptr;           // created on first use, then shown again
    ChartWindow* chartWindow = nullptr;         // created on first use, follows every completed run
    SweepWindow* sweepWindow = nullptr;         // likewise
    BootstrapWindow* bootstrapWindow = nullptr; // likewise
    MantelWindow* mantelWindow = nullptr;       // likewise
    // exists while File > Import CSV asks its questions
    QPointer<ImportCsvDialog> importCsvDialog;

    ProgramState& m_state;
    UserPrompts& m_prompts;
    Clock m_clock;
    CommandStates m_commands;
    bool m_running = false;
    bool m_closeAfterRun = false;  // the user closed the window and chose to stop the run
    bool m_editsDiscarded = false; // Exit has asked about the edits already
    QString m_dataTitle;           // the title without the marks of edits or of a run
    QString m_runMark;             // the title's note of a run under way
    QString m_textBeforeRun;       // restored when a run fails
    std::shared_ptr<const RunBasis> m_lastBasis; // what the last completed run leaves behind
    QString m_importSource;                      // the CSV file of the import under way
    BackgroundJob m_job; // last: the run stops before the windows it reports to go
};

} // namespace tavrik
