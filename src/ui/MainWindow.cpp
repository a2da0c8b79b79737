#include "ui/MainWindow.h"

#include "datafile/CsvImport.h"
#include "datafile/DataFileReader.h"
#include "datafile/TvkWriter.h"
#include "export/ResultCsv.h"
#include "export/SavedOutput.h"
#include "report/ReportHeader.h"
#include "ui/AboutBox.h"
#include "ui/AnalysisDialog.h"
#include "ui/ChartWindow.h"
#include "ui/HelpViewer.h"
#include "ui/ImportCsvDialog.h"
#include "ui/OptionsDialog.h"
#include "ui/ProgressWindow.h"
#include "ui/QtText.h"
#include "ui/SaveMatDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocumentFragment>

#include <exception>
#include <memory>
#include <new>

namespace tavrik {

namespace {

const QString programTitle = QStringLiteral("TAVRIK 5.0");

// Courier New, 12 pt, bold keeps the report's columns; where it is missing, Liberation Mono
// has the same metrics.
QFont reportFont()
{
    QFont font(QStringLiteral("Courier New"), 12, QFont::Bold);
    if (!QFontDatabase::families().contains(QStringLiteral("Courier New"))) {
        font.setFamily(QStringLiteral("Liberation Mono"));
    }
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

QAction* addItem(QMenu* menu, const QString& caption, const char* name)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QAction* addSeparator(QMenu* menu, const char* name)
{
    QAction* separator = menu->addSeparator();
    separator->setObjectName(QString::fromLatin1(name));
    return separator;
}

QMenu* addMenu(QMenuBar* bar, const QString& caption, const char* name)
{
    QMenu* menu = bar->addMenu(caption);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

// Forwards the run's status lines from the worker thread to the progress window.
class WindowProgress final : public ProgressSink
{
public:
    explicit WindowProgress(ProgressWindow* window)
        : m_window(window)
    {}

    void status(std::string_view line) override
    {
        ProgressWindow* window = m_window;
        QMetaObject::invokeMethod(
            window,
            [window, text = toQt(line)] { window->showStatus(text); },
            Qt::QueuedConnection);
    }

private:
    ProgressWindow* m_window;
};

// The text-box keys that belong to the Edit menu's commands.
enum class EditKey { None, Cut, Copy, Paste, SelectAll };

EditKey editKeyOf(const QKeyEvent* key)
{
    if (key->matches(QKeySequence::Cut)) {
        return EditKey::Cut;
    }
    if (key->matches(QKeySequence::Copy)) {
        return EditKey::Copy;
    }
    if (key->matches(QKeySequence::Paste)) {
        return EditKey::Paste;
    }
    if (key->matches(QKeySequence::SelectAll)) {
        return EditKey::SelectAll;
    }
    return EditKey::None;
}

} // namespace

MainWindow::MainWindow(ProgramState& state, UserPrompts& prompts, Clock clock, QWidget* parent)
    : QMainWindow(parent)
    , m_state(state)
    , m_prompts(prompts)
    , m_clock(std::move(clock))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(programTitle);

    txtBox = new QPlainTextEdit(this);
    txtBox->setObjectName(QStringLiteral("txtBox"));
    txtBox->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtBox->setFont(reportFont());
    txtBox->setContextMenuPolicy(Qt::CustomContextMenu);
    txtBox->installEventFilter(this);
    setCentralWidget(txtBox);

    buildFileMenu();
    buildEditMenu();
    buildAnalysisMenu();
    buildOutputMenu();
    buildHelpMenu();
    connect(txtBox, &QWidget::customContextMenuRequested, this, &MainWindow::showEditContextMenu);

    Options = new OptionsDialog(m_state, m_prompts, this);
    running = new ProgressWindow(this);

    applyCommandStates();
    resize(900, 650);
}

MainWindow::~MainWindow()
{
    // the worker posts to this window and its progress window: let it end before they go
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void MainWindow::buildFileMenu()
{
    mnuFile = addMenu(menuBar(), tr("&File"), "mnuFile");
    mnuFileOpen = addItem(mnuFile, tr("&Open..."), "mnuFileOpen");
    mnuFileImport = addItem(mnuFile, tr("&Import CSV..."), "mnuFileImport");
    mnuHyphen1 = addSeparator(mnuFile, "mnuHyphen1");
    mnuExit = addItem(mnuFile, tr("E&xit"), "mnuExit");
    connect(mnuFileOpen, &QAction::triggered, this, &MainWindow::fileOpen);
    connect(mnuFileImport, &QAction::triggered, this, &MainWindow::fileImport);
    connect(mnuExit, &QAction::triggered, this, &MainWindow::exitProgram);
}

void MainWindow::buildEditMenu()
{
    mnuEdit = addMenu(menuBar(), tr("&Edit"), "mnuEdit");
    mnuCut = addItem(mnuEdit, tr("Cu&t"), "mnuCut");
    mnuCut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    mnuCopy = addItem(mnuEdit, tr("&Copy"), "mnuCopy");
    mnuCopy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    mnuPaste = addItem(mnuEdit, tr("&Paste"), "mnuPaste");
    mnuPaste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    mnuHyphen2 = addSeparator(mnuEdit, "mnuHyphen2");
    mnuSelectAll = addItem(mnuEdit, tr("Select A&ll"), "mnuSelectAll");
    mnuSelectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    mnuHyphen3 = addSeparator(mnuEdit, "mnuHyphen3");
    mnuSetFont = addItem(mnuEdit, tr("Set Screen &Font"), "mnuSetFont");
    connect(mnuCut, &QAction::triggered, this, &MainWindow::cutText);
    connect(mnuCopy, &QAction::triggered, this, &MainWindow::copyText);
    connect(mnuPaste, &QAction::triggered, this, &MainWindow::pasteText);
    connect(mnuSelectAll, &QAction::triggered, this, &MainWindow::selectAllText);
    connect(mnuSetFont, &QAction::triggered, this, &MainWindow::setScreenFont);
    connect(mnuEdit, &QMenu::aboutToShow, this, &MainWindow::editMenuOpening);
}

void MainWindow::buildAnalysisMenu()
{
    mnuAnal = addMenu(menuBar(), tr("&Analysis"), "mnuAnal");
    mnuRun = addItem(mnuAnal, tr("&Run..."), "mnuRun");
    mnuOpt = addItem(mnuAnal, tr("&Options..."), "mnuOpt");
    connect(mnuRun, &QAction::triggered, this, &MainWindow::showAnalysisDialog);
    connect(mnuOpt, &QAction::triggered, this, &MainWindow::showOptionsDialog);
}

void MainWindow::buildOutputMenu()
{
    mnuOutput = addMenu(menuBar(), tr("&Output"), "mnuOutput");
    mnuSave = addItem(mnuOutput, tr("&Save Output"), "mnuSave");
    mnuSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuSaveOut = addItem(mnuOutput, tr("Save Output &As..."), "mnuSaveOut");
    mnuHyphen4 = addSeparator(mnuOutput, "mnuHyphen4");
    mnuSaveMat = addItem(mnuOutput, tr("Save R and D-Square &Matrices..."), "mnuSaveMat");
    mnuHyphen5 = addSeparator(mnuOutput, "mnuHyphen5");
    mnuSavePCA1 = addItem(mnuOutput, tr("Save &PCA Eigenvectors..."), "mnuSavePCA1");
    mnuSavePCA2 = addItem(mnuOutput, tr("Save P&CA Eigenvectors (Scaled R)..."), "mnuSavePCA2");
    mnuHyphen6 = addSeparator(mnuOutput, "mnuHyphen6");
    mnuSaveRB1 = addItem(mnuOutput, tr("Save &Velbrand-Torvane Results..."), "mnuSaveRB1");
    mnuHyphen7 = addSeparator(mnuOutput, "mnuHyphen7");
    mnuChart = addItem(mnuOutput, tr("Principal Coordinates &Chart..."), "mnuChart");
    connect(mnuSave, &QAction::triggered, this, &MainWindow::saveOutput);
    connect(mnuSaveOut, &QAction::triggered, this, &MainWindow::saveOutputAs);
    connect(mnuSaveMat, &QAction::triggered, this, &MainWindow::showSaveMatDialog);
    connect(mnuSavePCA1, &QAction::triggered, this, &MainWindow::savePcaScores);
    connect(mnuSavePCA2, &QAction::triggered, this, &MainWindow::saveScaledPcaScores);
    connect(mnuSaveRB1, &QAction::triggered, this, &MainWindow::saveVtResults);
    connect(mnuChart, &QAction::triggered, this, &MainWindow::showChartWindow);
}

void MainWindow::buildHelpMenu()
{
    mnuHelp = addMenu(menuBar(), tr("&Help"), "mnuHelp");
    mnuHelpText = addItem(mnuHelp, tr("&Help"), "mnuHelpText");
    mnuAbout = addItem(mnuHelp, tr("&About"), "mnuAbout");
    connect(mnuHelpText, &QAction::triggered, this, &MainWindow::showHelp);
    connect(mnuAbout, &QAction::triggered, this, &MainWindow::showAbout);
}

void MainWindow::applyCommandStates()
{
    // While a run works nothing else may start. An item of a disabled menu is disabled too,
    // or its shortcut would still start it.
    const bool idle = !m_running;
    const auto pushMenu = [](QMenu* menu, bool enabled) {
        menu->menuAction()->setEnabled(enabled);
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator()) {
                action->setEnabled(enabled);
            }
        }
    };
    pushMenu(mnuFile, idle);
    pushMenu(mnuEdit, idle);
    pushMenu(mnuAnal, idle && m_commands.analysisMenu);
    pushMenu(mnuOutput, idle && m_commands.outputMenu);
    pushMenu(mnuHelp, idle);
    mnuCut->setEnabled(idle && m_commands.cut);
    mnuCopy->setEnabled(idle && m_commands.copy);
    mnuPaste->setEnabled(idle && m_commands.paste);
    mnuSelectAll->setEnabled(idle && m_commands.selectAll);
    mnuSavePCA2->setEnabled(idle && m_commands.outputMenu && m_commands.savePca2);
    txtBox->setReadOnly(!idle);
    Options->setEnabled(idle);
    if (SaveMat != nullptr) {
        SaveMat->setEnabled(idle);
    }
    if (chartWindow != nullptr) {
        chartWindow->setEnabled(idle);
    }
}

void MainWindow::fileOpen()
{
    m_commands.outputMenu = false;
    applyCommandStates();
    const auto fileName =
        m_prompts.openFileName({tr("TAVRIK Files (*.TVK *.tvk)"), tr("All Files (*)")});
    if (!fileName) {
        return;
    }
    openDataFile(*fileName);
}

void MainWindow::fileImport()
{
    const auto csvName =
        m_prompts.openFileName({tr("CSV Files (*.csv *.CSV)"), tr("All Files (*)")});
    if (!csvName) {
        return;
    }
    const QString csvPath = QFileInfo(*csvName).absoluteFilePath();
    Result<CsvTable> table = readCsv(toPath(csvPath));
    if (!table) {
        m_prompts.message(UserPrompts::Icon::Critical, tr("Error"), toQt(table.error().message));
        return;
    }
    // Window-modal without a nested event loop: the command goes on in finishImport.
    m_importSource = csvPath;
    ImportCsv = new ImportCsvDialog(std::move(table.value()), m_prompts, this);
    connect(ImportCsv, &QDialog::finished, this, &MainWindow::finishImport);
    ImportCsv->open();
}

void MainWindow::finishImport(int result)
{
    const std::string text = ImportCsv ? ImportCsv->tvkText() : std::string();
    if (ImportCsv) {
        ImportCsv->deleteLater();
        ImportCsv = nullptr;
    }
    if (result != QDialog::Accepted || text.empty()) {
        return;
    }
    const QFileInfo csv(m_importSource);
    const auto tvkName = m_prompts.saveFileNameProposing(
        {tr("TAVRIK Files (*.tvk *.TVK)")}, csv.dir().filePath(csv.completeBaseName() + ".tvk"));
    if (!tvkName) {
        return;
    }
    const QString tvkPath = QFileInfo(*tvkName).absoluteFilePath();
    Status written = writeTvkFile(toPath(tvkPath), text);
    if (!written) {
        m_prompts.message(UserPrompts::Icon::Critical, tr("Error"), toQt(written.error().message));
        return;
    }
    // from here as File Open with the written file chosen
    m_commands.outputMenu = false;
    applyCommandStates();
    openDataFile(tvkPath);
}

bool MainWindow::openDataFile(const QString& fileName)
{
    const QString fullPath = QFileInfo(fileName).absoluteFilePath();
    const std::filesystem::path path = toPath(fullPath);

    // Everything is read before anything changes: a file that fails leaves the program as it was.
    auto reader = DataFileReader::open(path);
    Result<DataFileHeader> header =
        reader ? reader->readHeader() : Result<DataFileHeader>(reader.error());
    if (!header) {
        m_prompts.message(UserPrompts::Icon::Critical, tr("Error"), toQt(header.error().message));
        return false;
    }

    m_state.dataSet = dataSetFromHeader(*header, path);
    m_state.dataSet.dataPath = toStd(fullPath);
    const DataSet& loaded = m_state.dataSet;
    m_state.selection = Selection{};
    m_state.selection.popSelected.assign(static_cast<std::size_t>(loaded.popCount), 0);
    m_state.selection.varSelected.assign(static_cast<std::size_t>(loaded.varCount), 0);
    m_state.settings = AnalysisSettings{};
    m_state.askSaveName = 1;

    setWindowTitle(programTitle + QStringLiteral(" - ") + fullPath);
    txtBox->setPlainText(textFromReport(
        fileOpenHeader(loaded.dataPath, header->title, loaded.popCount, loaded.varCount, m_clock)));

    m_commands.analysisMenu = true;
    m_commands.cut = true;
    m_commands.copy = true;
    m_commands.selectAll = true;
    applyCommandStates();

    Options->showDefaults(loaded.equalSizes == 0);
    // The Analysis dialog lists the previous file's names: it goes, and opens afresh.
    if (Analysis) {
        Analysis->close();
    }
    return true;
}

void MainWindow::exitProgram()
{
    m_state.matrixFile.clear();
    QApplication::closeAllWindows();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_running) {
        // the run ends on its own within moments; its result must not land on a closed window
        event->ignore();
        return;
    }
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow()) {
            child->close();
        }
    }
    QMainWindow::closeEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The text box's own editing keys would bypass the Edit menu: route them to its commands,
    // which do nothing while disabled.
    if (watched == txtBox &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const EditKey editKey = editKeyOf(key);
        if (editKey != EditKey::None) {
            if (event->type() == QEvent::ShortcutOverride) {
                event->accept();
                return true;
            }
            QAction* action = editKey == EditKey::Cut     ? mnuCut
                              : editKey == EditKey::Copy  ? mnuCopy
                              : editKey == EditKey::Paste ? mnuPaste
                                                          : mnuSelectAll;
            if (action->isEnabled()) {
                action->trigger();
            }
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::copyText()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(txtBox->textCursor().selection().toPlainText());
    m_commands.paste = true;
    applyCommandStates();
}

void MainWindow::cutText()
{
    copyText();
    QTextCursor cursor = txtBox->textCursor();
    cursor.removeSelectedText();
    txtBox->setTextCursor(cursor);
}

void MainWindow::pasteText()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (!text.isEmpty()) {
        txtBox->insertPlainText(text);
    }
}

void MainWindow::selectAllText()
{
    txtBox->selectAll();
    txtBox->setFocus(Qt::OtherFocusReason);
}

void MainWindow::editMenuOpening()
{
    if (txtBox->textCursor().hasSelection()) {
        m_commands.cut = true;
        m_commands.copy = true;
        applyCommandStates();
    }
}

void MainWindow::showEditContextMenu(const QPoint& pos)
{
    editMenuOpening();
    QMenu menu(this);
    menu.addAction(mnuCut);
    menu.addAction(mnuCopy);
    menu.addAction(mnuPaste);
    menu.addSeparator();
    menu.addAction(mnuSelectAll);
    menu.exec(txtBox->viewport()->mapToGlobal(pos));
}

void MainWindow::setScreenFont()
{
    const auto chosen = m_prompts.font(txtBox->font());
    if (!chosen) {
        return;
    }
    QFont font = txtBox->font();
    font.setFamily(chosen->family());
    font.setPointSizeF(chosen->pointSizeF());
    font.setBold(chosen->bold());
    font.setItalic(chosen->italic());
    font.setUnderline(chosen->underline());
    txtBox->setFont(font);
}

void MainWindow::showAnalysisDialog()
{
    // a closed dialog is only waiting to be deleted: every opening starts afresh
    if (Analysis && !Analysis->isVisible()) {
        Analysis = nullptr;
    }
    if (!Analysis) {
        Analysis = new AnalysisDialog(m_state, m_prompts, this);
        Analysis->setAttribute(Qt::WA_DeleteOnClose);
        connect(Analysis, &AnalysisDialog::runRequested, this, &MainWindow::startRun);
    }
    Analysis->show();
    Analysis->raise();
    Analysis->activateWindow();
    Analysis->btnRun->setFocus(Qt::OtherFocusReason);
}

void MainWindow::showOptionsDialog()
{
    if (!Options->isVisible()) {
        Options->loadFrom(m_state);
    }
    Options->show();
    Options->raise();
    Options->activateWindow();
    Options->H2Text->setFocus(Qt::OtherFocusReason);
}

void MainWindow::showHelp()
{
    if (helpViewer == nullptr) {
        const QString guide =
            m_state.helpPath.empty() ? defaultGuidePath() : toQt(m_state.helpPath);
        helpViewer = new HelpViewer(guide, this);
    }
    helpViewer->showContents();
    helpViewer->show();
    helpViewer->raise();
}

void MainWindow::showAbout()
{
    if (frmAbout == nullptr) {
        frmAbout = new AboutBox(m_prompts, this);
    }
    frmAbout->setContactText();
    frmAbout->show();
    frmAbout->raise();
    frmAbout->activateWindow();
}

void MainWindow::runAllPopulationsAndVariables()
{
    if (!mnuRun->isEnabled()) {
        return;
    }
    showAnalysisDialog();
    Analysis->btnRun->click();
}

void MainWindow::startRun()
{
    // The run works on its own copy of what it reads; the window stays responsive and shows
    // its progress, while every command is disabled until the run ends.
    RunInput input{m_state.dataSet, m_state.settings, m_state.selection};
    m_textBeforeRun = txtBox->toPlainText();
    txtBox->clear();
    m_running = true;
    applyCommandStates();

    running->showStatus(tr("...computing..."));
    running->move(geometry().center() - running->rect().center());
    running->show();
    running->raise();

    m_worker = std::thread([this, window = running, input = std::move(input), clock = m_clock] {
        WindowProgress progress(window);
        std::shared_ptr<Result<RunOutput>> result;
        try {
            result = std::make_shared<Result<RunOutput>>(runAnalysis(input, clock, progress));
        } catch (const std::bad_alloc&) {
            // the memory of the failed run is free again, so the message can be built
            result = std::make_shared<Result<RunOutput>>(
                Error{ErrorKind::Analysis,
                      "The computer has not enough memory for this analysis; choose fewer "
                      "populations or variables.",
                      {},
                      0,
                      {}});
        } catch (const std::exception& e) {
            // out of memory and the like: reported as a failed run, never the end of the program
            result = std::make_shared<Result<RunOutput>>(
                Error{ErrorKind::Analysis, e.what(), {}, 0, {}});
        }
        QMetaObject::invokeMethod(
            this, [this, result] { finishRun(std::move(*result)); }, Qt::QueuedConnection);
    });
}

void MainWindow::finishRun(Result<RunOutput> result)
{
    if (m_worker.joinable()) {
        m_worker.join();
    }
    running->hide();
    m_running = false;

    if (!result) {
        // a failed run changes nothing: the earlier report, results and menus stay
        txtBox->setPlainText(m_textBeforeRun);
        applyCommandStates();
        m_prompts.message(UserPrompts::Icon::Critical, tr("Error"), toQt(result.error().message));
        emit runFinished(false);
        return;
    }

    const bool warn = result->warnOutputTooLarge;
    const QString screenText = textFromReport(result->screenText);
    applyRunOutput(m_state, std::move(result.value()));
    if (warn) {
        m_prompts.message(UserPrompts::Icon::Information,
                          tr("Warning!"),
                          tr("Output too large to fit on screen.") + QStringLiteral("\r\n") +
                              tr("R and distance matrices will not be shown here.") +
                              QStringLiteral("\r\n") +
                              tr("They will be included when you save the output."));
    }
    txtBox->setPlainText(screenText);
    m_commands.outputMenu = true;
    m_commands.savePca2 = m_state.settings.scaledAnalysis == 1;
    applyCommandStates();
    if (SaveMat != nullptr && SaveMat->isVisible()) {
        SaveMat->enableScaledChoices(m_state);
    }
    if (chartWindow != nullptr) {
        chartWindow->refresh();
    }
    emit runFinished(true);
}

void MainWindow::saveOutput()
{
    if (m_state.askSaveName == 0) {
        // saved before: the same file again, with the text box as it is now
        writeOutput(toQt(m_state.outputFileName),
                    appendListing(SaveKind::SaveOutput,
                                  m_state.askSaveName,
                                  m_state.outputFitsScreen,
                                  m_state.settings.showMatrices));
        return;
    }
    const auto fileName = m_prompts.saveFileName({tr("Text Files (*.TXT *.txt)")});
    if (!fileName) {
        return;
    }
    if (writeOutput(*fileName,
                    appendListing(SaveKind::SaveOutput,
                                  m_state.askSaveName,
                                  m_state.outputFitsScreen,
                                  m_state.settings.showMatrices))) {
        m_state.askSaveName = 0;
        m_state.outputFileName = toStd(*fileName);
    }
}

void MainWindow::saveOutputAs()
{
    const auto fileName = m_prompts.saveFileName({tr("Text Files (*.TXT *.txt)")});
    if (!fileName) {
        return;
    }
    if (writeOutput(*fileName,
                    appendListing(SaveKind::SaveOutputAs,
                                  m_state.askSaveName,
                                  m_state.outputFitsScreen,
                                  m_state.settings.showMatrices))) {
        m_state.askSaveName = 0;
        m_state.outputFileName = toStd(*fileName);
    }
}

bool MainWindow::writeOutput(const QString& fileName, bool withListing)
{
    // the text box hands out LF lines, including any the user typed
    const std::string displayed = toCrLf(toStd(txtBox->toPlainText()));
    return writeExportFile(
        m_prompts, fileName, savedOutputText(displayed, m_state.matrixFile, withListing));
}

void MainWindow::showSaveMatDialog()
{
    if (SaveMat == nullptr) {
        SaveMat = new SaveMatDialog(m_state, m_prompts, this);
    }
    if (!SaveMat->isVisible()) {
        SaveMat->loadFrom(m_state);
    }
    SaveMat->show();
    SaveMat->raise();
    SaveMat->activateWindow();
    SaveMat->btnClose->setFocus(Qt::OtherFocusReason);
}

void MainWindow::showChartWindow()
{
    if (chartWindow == nullptr) {
        chartWindow = new ChartWindow(m_state, m_prompts, this);
    }
    chartWindow->refresh();
    chartWindow->show();
    chartWindow->raise();
    chartWindow->activateWindow();
}

void MainWindow::savePcaScores()
{
    const AnalysisResults& results = m_state.results;
    saveCsv(scoresCsvText(results.pcScores, results.populationNames), tr("File has been saved."));
}

void MainWindow::saveScaledPcaScores()
{
    const AnalysisResults& results = m_state.results;
    saveCsv(scoresCsvText(results.scaledPcScores, results.populationNames),
            tr("File has been saved."));
}

void MainWindow::saveVtResults()
{
    // this command's confirmation has never had a full stop
    saveCsv(velbrandTorvaneCsvText(m_state.results), tr("File has been saved"));
}

void MainWindow::saveCsv(const std::string& text, const QString& confirmation)
{
    const auto fileName = m_prompts.saveFileName({qtFileFilter(csvFileFilter)});
    if (!fileName) {
        return;
    }
    if (writeExportFile(m_prompts, *fileName, text)) {
        m_prompts.message(UserPrompts::Icon::None, tr("TAVRIK"), confirmation);
    }
}

} // namespace tavrik
