#include "ui/MainWindow.h"

#include "datafile/CsvImport.h"
#include "datafile/DataFileReader.h"
#include "datafile/TvkWriter.h"
#include "export/ResultCsv.h"
#include "export/ResultJson.h"
#include "export/SavedOutput.h"
#include "report/ReportHeader.h"
#include "state/Version.h"
#include "ui/AboutBox.h"
#include "ui/AnalysisDialog.h"
#include "ui/BootstrapWindow.h"
#include "ui/ChartWindow.h"
#include "ui/HelpViewer.h"
#include "ui/ImportCsvDialog.h"
#include "ui/MantelWindow.h"
#include "ui/OptionsDialog.h"
#include "ui/ProgramSettings.h"
#include "ui/ProgressWindow.h"
#include "ui/QtText.h"
#include "ui/SaveMatDialog.h"
#include "ui/SweepWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QUrl>

#include <memory>

namespace tavrik {

namespace {

const QString geometryKey = QStringLiteral("window/geometry");
const QString fontKey = QStringLiteral("window/font");

// The file dialogs that remember their own last folder.
const QString dataFolder = QStringLiteral("data");
const QString csvFolder = QStringLiteral("csv");
const QString outputFolder = QStringLiteral("output");
const QString resultsFolder = QStringLiteral("results");

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

void addSeparator(QMenu* menu, const char* name)
{
    menu->addSeparator()->setObjectName(QString::fromLatin1(name));
}

// The platform's key for a standard command; where the platform has none (the Quit key on
// some desktops), the key that most programs use.
void setStandardShortcut(QAction* action, QKeySequence::StandardKey key, const QKeySequence& usual)
{
    const QList<QKeySequence> keys = QKeySequence::keyBindings(key);
    if (keys.isEmpty()) {
        action->setShortcut(usual);
    } else {
        action->setShortcuts(keys);
    }
}

QMenu* addMenu(QMenuBar* bar, const QString& caption, const char* name)
{
    QMenu* menu = bar->addMenu(caption);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

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
    setWindowTitle(QString::fromLatin1(programTitle));

    txtBox = new QPlainTextEdit(this);
    txtBox->setObjectName(QStringLiteral("txtBox"));
    txtBox->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtBox->setFont(reportFont());
    txtBox->setContextMenuPolicy(Qt::CustomContextMenu);
    txtBox->installEventFilter(this);
    // a data file or CSV table dropped on the report opens it; other drops edit the text
    txtBox->viewport()->installEventFilter(this);
    setCentralWidget(txtBox);
    setAcceptDrops(true);
    statusBar(); // where a recent file's full path shows while its item is chosen

    buildFileMenu();
    buildEditMenu();
    buildAnalysisMenu();
    buildOutputMenu();
    buildHelpMenu();
    connect(txtBox, &QWidget::customContextMenuRequested, this, &MainWindow::showEditContextMenu);

    optionsDialog = new OptionsDialog(m_state, m_prompts, this);
    progressWindow = new ProgressWindow(this);
    connect(progressWindow, &ProgressWindow::passAdvanced, this, &MainWindow::showRunProgress);
    connect(
        txtBox->document(), &QTextDocument::modificationChanged, this, &MainWindow::updateTitle);

    applyCommandStates();
    resize(900, 650);
    restoreSettings();
    updateTitle();
}

void MainWindow::restoreSettings()
{
    const auto settings = programSettings();
    restoreGeometry(settings->value(geometryKey).toByteArray());
    const QString fontText = settings->value(fontKey).toString();
    QFont font;
    if (!fontText.isEmpty() && font.fromString(fontText)) {
        txtBox->setFont(font);
    }
}

MainWindow::~MainWindow() = default;

void MainWindow::buildFileMenu()
{
    mnuFile = addMenu(menuBar(), tr("&File"), "mnuFile");
    mnuFileOpen = addItem(mnuFile, tr("&Open..."), "mnuFileOpen");
    setStandardShortcut(mnuFileOpen, QKeySequence::Open, QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuFileImport = addItem(mnuFile, tr("&Import CSV..."), "mnuFileImport");
    mnuRecent = mnuFile->addMenu(tr("&Recent Files"));
    mnuRecent->setObjectName(QStringLiteral("mnuRecent"));
    mnuRecent->menuAction()->setObjectName(QStringLiteral("mnuRecent"));
    fillRecentMenu();
    addSeparator(mnuFile, "mnuHyphen1");
    mnuExit = addItem(mnuFile, tr("E&xit"), "mnuExit");
    setStandardShortcut(mnuExit, QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q));
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
    addSeparator(mnuEdit, "mnuHyphen2");
    mnuSelectAll = addItem(mnuEdit, tr("Select A&ll"), "mnuSelectAll");
    mnuSelectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    addSeparator(mnuEdit, "mnuHyphen3");
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
    addSeparator(mnuAnal, "mnuHyphen8");
    mnuSweep = addItem(mnuAnal, tr("Heritability &Sensitivity..."), "mnuSweep");
    mnuBootstrap = addItem(mnuAnal, tr("&Bootstrap..."), "mnuBootstrap");
    mnuMantel = addItem(mnuAnal, tr("&Mantel Test..."), "mnuMantel");
    connect(mnuOpt, &QAction::triggered, this, &MainWindow::showOptionsDialog);
    connect(mnuSweep, &QAction::triggered, this, &MainWindow::showSweepWindow);
    connect(mnuBootstrap, &QAction::triggered, this, &MainWindow::showBootstrapWindow);
    connect(mnuMantel, &QAction::triggered, this, &MainWindow::showMantelWindow);
}

void MainWindow::buildOutputMenu()
{
    mnuOutput = addMenu(menuBar(), tr("&Output"), "mnuOutput");
    mnuSave = addItem(mnuOutput, tr("&Save Output"), "mnuSave");
    mnuSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuSaveOut = addItem(mnuOutput, tr("Save Output &As..."), "mnuSaveOut");
    addSeparator(mnuOutput, "mnuHyphen4");
    mnuSaveMat = addItem(mnuOutput, tr("Save R and D-Square &Matrices..."), "mnuSaveMat");
    addSeparator(mnuOutput, "mnuHyphen5");
    mnuSavePCA1 = addItem(mnuOutput, tr("Save &PCA Eigenvectors..."), "mnuSavePCA1");
    mnuSavePCA2 = addItem(mnuOutput, tr("Save P&CA Eigenvectors (Scaled R)..."), "mnuSavePCA2");
    addSeparator(mnuOutput, "mnuHyphen6");
    mnuSaveRB1 = addItem(mnuOutput, tr("Save &Velbrand-Torvane Results..."), "mnuSaveRB1");
    mnuSaveJson = addItem(mnuOutput, tr("Save Results as &JSON..."), "mnuSaveJson");
    addSeparator(mnuOutput, "mnuHyphen7");
    mnuChart = addItem(mnuOutput, tr("C&harts..."), "mnuChart");
    connect(mnuSave, &QAction::triggered, this, &MainWindow::saveOutput);
    connect(mnuSaveOut, &QAction::triggered, this, &MainWindow::saveOutputAs);
    connect(mnuSaveMat, &QAction::triggered, this, &MainWindow::showSaveMatDialog);
    connect(mnuSavePCA1, &QAction::triggered, this, &MainWindow::savePcaScores);
    connect(mnuSavePCA2, &QAction::triggered, this, &MainWindow::saveScaledPcaScores);
    connect(mnuSaveRB1, &QAction::triggered, this, &MainWindow::saveVtResults);
    connect(mnuSaveJson, &QAction::triggered, this, &MainWindow::saveResultsJson);
    connect(mnuChart, &QAction::triggered, this, &MainWindow::showChartWindow);
}

void MainWindow::buildHelpMenu()
{
    mnuHelp = addMenu(menuBar(), tr("&Help"), "mnuHelp");
    mnuHelpText = addItem(mnuHelp, tr("&Help"), "mnuHelpText");
    setStandardShortcut(mnuHelpText, QKeySequence::HelpContents, QKeySequence(Qt::Key_F1));
    mnuAbout = addItem(mnuHelp, tr("&About"), "mnuAbout");
    connect(mnuHelpText, &QAction::triggered, this, &MainWindow::showHelp);
    connect(mnuAbout, &QAction::triggered, this, &MainWindow::showAbout);
}

void MainWindow::applyCommandStates()
{
    // While a run works nothing else may start but Help and About. An item of a disabled
    // menu is disabled too, or its shortcut would still start it.
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
    pushMenu(mnuHelp, true);
    mnuRecent->menuAction()->setEnabled(idle && !mnuRecent->isEmpty());
    mnuCut->setEnabled(idle && m_commands.cut);
    mnuCopy->setEnabled(idle && m_commands.copy);
    mnuPaste->setEnabled(idle && m_commands.paste);
    mnuSelectAll->setEnabled(idle && m_commands.selectAll);
    mnuSavePCA2->setEnabled(idle && m_commands.outputMenu && m_commands.savePca2);
    mnuSweep->setEnabled(idle && m_commands.analysisMenu && m_commands.outputMenu);
    mnuBootstrap->setEnabled(idle && m_commands.analysisMenu && m_commands.outputMenu);
    mnuMantel->setEnabled(idle && m_commands.analysisMenu && m_commands.outputMenu);
    txtBox->setReadOnly(!idle);
    // the report has a pointer of its own, which would hide the busy one
    txtBox->viewport()->setCursor(idle ? Qt::IBeamCursor : Qt::BusyCursor);
    if (idle) {
        unsetCursor();
    } else {
        setCursor(Qt::BusyCursor);
    }
    optionsDialog->setEnabled(idle);
    if (saveMatDialog != nullptr) {
        saveMatDialog->setEnabled(idle);
    }
    if (chartWindow != nullptr) {
        chartWindow->setEnabled(idle);
        chartWindow->followRun(m_commands.outputMenu);
    }
    for (QWidget* window :
         std::initializer_list<QWidget*>{sweepWindow, bootstrapWindow, mantelWindow}) {
        if (window != nullptr) {
            window->setEnabled(idle);
        }
    }
    followRunInWindows();
    updateTitle();
}

void MainWindow::updateTitle()
{
    QString title = m_dataTitle.isEmpty() ? QString::fromLatin1(programTitle) : m_dataTitle;
    if (hasUnsavedEdits()) {
        title += QLatin1Char('*');
    }
    if (!m_runMark.isEmpty()) {
        title += QStringLiteral(" (") + m_runMark + QLatin1Char(')');
    }
    setWindowTitle(title);
}

bool MainWindow::hasUnsavedEdits() const
{
    // only a run's output can be saved; a report made by a run alone can be made again
    return m_commands.outputMenu && txtBox->document()->isModified();
}

bool MainWindow::mayDiscardEdits()
{
    if (!hasUnsavedEdits()) {
        return true;
    }
    const UserPrompts::Answer answer = m_prompts.ask(
        nullptr,
        UserPrompts::Icon::Warning,
        tr("TAVRIK"),
        tr("The report has been edited since it was last saved.\n"
           "Save the output before it is replaced?"),
        {UserPrompts::Answer::Save, UserPrompts::Answer::Discard, UserPrompts::Answer::Cancel});
    switch (answer) {
    case UserPrompts::Answer::Save:
        return saveOutput();
    case UserPrompts::Answer::Discard:
        return true;
    default:
        return false;
    }
}

void MainWindow::fillRecentMenu()
{
    // the item being triggered may be among the old ones: they go once its signal is over
    for (QAction* old : mnuRecent->actions()) {
        mnuRecent->removeAction(old);
        old->setObjectName(QString());
        old->deleteLater();
    }
    const QStringList files = recentFiles();
    QStringList names;
    for (const QString& file : files) {
        names << QFileInfo(file).fileName();
    }
    for (int i = 0; i < files.size(); ++i) {
        const QString file = files.at(i);
        // "&1 highland.tvk": the digit is the item's access key. Two files of one name are told
        // apart by their folder: "&2 pops.tvk (survey)".
        QString caption = names.at(i);
        if (names.count(caption) > 1) {
            const QFileInfo info(file);
            caption += QStringLiteral(" (%1)").arg(QDir::toNativeSeparators(
                info.dir().dirName().isEmpty() ? info.absolutePath() : info.dir().dirName()));
        }
        QAction* item = mnuRecent->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(
            caption.replace(QLatin1Char('&'), QStringLiteral("&&"))));
        item->setObjectName(QStringLiteral("mnuRecent%1").arg(i + 1));
        item->setToolTip(QDir::toNativeSeparators(file));
        item->setStatusTip(QDir::toNativeSeparators(file));
        connect(item, &QAction::triggered, this, [this, file] { openRecentFile(file); });
    }
    mnuRecent->menuAction()->setEnabled(!m_running && !files.isEmpty());
}

void MainWindow::rememberRecentFile(const QString& fullPath)
{
    storeRecentFiles(withRecentFile(recentFiles(), fullPath));
    fillRecentMenu();
}

void MainWindow::openRecentFile(const QString& fileName)
{
    if (!QFileInfo(fileName).isFile()) {
        QStringList files = recentFiles();
        files.removeAll(fileName);
        storeRecentFiles(files);
        fillRecentMenu();
        m_prompts.message(UserPrompts::Icon::Warning,
                          tr("TAVRIK"),
                          tr("The file %1 no longer exists. It has been removed from the list "
                             "of recent files.")
                              .arg(QDir::toNativeSeparators(fileName)));
        return;
    }
    openChosenFile(fileName);
}

void MainWindow::openChosenFile(const QString& fileName)
{
    if (m_running || !mayDiscardEdits()) {
        return;
    }
    m_commands.outputMenu = false;
    applyCommandStates();
    openDataFile(fileName);
}

void MainWindow::fileOpen()
{
    if (!mayDiscardEdits()) {
        return;
    }
    m_commands.outputMenu = false;
    applyCommandStates();
    const auto fileName = m_prompts.openFile(
        {{tr("TAVRIK Files (*.TVK *.tvk)"), tr("All Files (*)")}, {}, {}, dataFolder, {}});
    if (!fileName) {
        return;
    }
    openDataFile(*fileName);
}

void MainWindow::fileImport()
{
    const auto csvName = m_prompts.openFile(
        {{tr("CSV Files (*.csv *.CSV)"), tr("All Files (*)")}, {}, {}, csvFolder, {}});
    if (!csvName) {
        return;
    }
    importCsvFile(*csvName);
}

void MainWindow::importCsvFile(const QString& csvName)
{
    if (m_running || importCsvDialog) {
        return;
    }
    // A table of many rows takes a while to read: it is read as a run works, with the progress
    // window and Cancel, and every command but Help and About waits.
    const QString csvPath = QFileInfo(csvName).absoluteFilePath();
    const QString shownName = QFileInfo(csvPath).fileName();
    m_importSource = csvPath;
    m_running = true;
    m_runMark = tr("reading %1").arg(shownName);
    applyCommandStates();
    RunProgress& sink = progressWindow->startRun();
    sink.status(toStd(tr("...reading %1...").arg(shownName)));
    m_job.start<CsvTable>([path = toPath(csvPath)](ProgressSink&) { return readCsv(path); },
                          [this](Result<CsvTable>&& table) { showImportDialog(std::move(table)); },
                          "The computer has not enough memory to read this table.",
                          &sink);
}

void MainWindow::showImportDialog(Result<CsvTable> table)
{
    const bool cancelled = progressWindow->endRun();
    m_running = false;
    m_runMark.clear();
    applyCommandStates();
    if (m_closeAfterRun) {
        close();
        return;
    }
    if (cancelled) {
        return;
    }
    if (!table) {
        m_prompts.message(
            UserPrompts::Icon::Critical, tr("Error"), messageText(table.error().message));
        return;
    }
    // Window-modal without a nested event loop: the command goes on in finishImport.
    importCsvDialog = new ImportCsvDialog(std::move(table.value()), m_prompts, this);
    connect(importCsvDialog, &QDialog::finished, this, &MainWindow::finishImport);
    importCsvDialog->open();
}

void MainWindow::finishImport(int result)
{
    const std::string text = importCsvDialog ? importCsvDialog->tvkText() : std::string();
    if (importCsvDialog) {
        importCsvDialog->deleteLater();
        importCsvDialog = nullptr;
    }
    if (result != QDialog::Accepted || text.empty()) {
        return;
    }
    const QFileInfo csv(m_importSource);
    const auto tvkName = m_prompts.saveFile({{tr("TAVRIK Files (*.tvk *.TVK)")},
                                             csv.dir().filePath(csv.completeBaseName() + ".tvk"),
                                             QStringLiteral("tvk"),
                                             dataFolder,
                                             {}});
    if (!tvkName) {
        return;
    }
    const QString tvkPath = QFileInfo(*tvkName).absoluteFilePath();
    Status written = writeTvkFile(toPath(tvkPath), text);
    if (!written) {
        m_prompts.message(
            UserPrompts::Icon::Critical, tr("Error"), messageText(written.error().message));
        return;
    }
    // from here as File Open with the written file chosen
    if (!mayDiscardEdits()) {
        return;
    }
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
        m_prompts.message(
            UserPrompts::Icon::Critical, tr("Error"), messageText(header.error().message));
        return false;
    }

    m_state.dataSet = dataSetFromHeader(*header, path);
    m_state.dataSet.dataPath = toStd(fullPath);
    const DataSet& loaded = m_state.dataSet;
    m_state.selection = Selection{};
    m_state.selection.popSelected.assign(static_cast<std::size_t>(loaded.popCount), false);
    m_state.selection.varSelected.assign(static_cast<std::size_t>(loaded.varCount), false);
    m_state.settings = AnalysisSettings{};
    m_state.askSaveName = true;

    m_dataTitle = QString::fromLatin1(programTitle) + QStringLiteral(" - ") + fullPath;
    txtBox->setPlainText(textFromReport(
        fileOpenHeader(loaded.dataPath, header->title, loaded.popCount, loaded.varCount, m_clock)));
    rememberRecentFile(fullPath);

    m_commands.analysisMenu = true;
    m_commands.cut = true;
    m_commands.copy = true;
    m_commands.selectAll = true;
    applyCommandStates();

    optionsDialog->showDefaults(!loaded.equalSizes);
    // The Analysis dialog lists the previous file's names: it goes, and opens afresh.
    if (analysisDialog) {
        analysisDialog->close();
    }
    return true;
}

void MainWindow::exitProgram()
{
    if (!mayDiscardEdits()) {
        return;
    }
    m_editsDiscarded = true;
    m_state.matrixFile.clear();
    QApplication::closeAllWindows();
    m_editsDiscarded = false;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_running) {
        // The run's result must not land on a closed window: the window closes once the run
        // has stopped.
        event->ignore();
        if (m_closeAfterRun) {
            return;
        }
        const UserPrompts::Answer answer =
            m_prompts.ask(nullptr,
                          UserPrompts::Icon::Warning,
                          tr("TAVRIK"),
                          tr("An analysis is running. Stop it and close TAVRIK?"),
                          {UserPrompts::Answer::Yes, UserPrompts::Answer::No});
        if (answer != UserPrompts::Answer::Yes) {
            return;
        }
        if (m_running) {
            m_closeAfterRun = true;
            progressWindow->btnCancel->click();
        } else {
            // the run ended while the question was open: nothing is left to stop
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        }
        return;
    }
    if (!m_editsDiscarded && !mayDiscardEdits()) {
        event->ignore();
        return;
    }
    programSettings()->setValue(geometryKey, saveGeometry());
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow()) {
            child->close();
        }
    }
    QMainWindow::closeEvent(event);
}

QString MainWindow::droppedFile(const QMimeData* mime) const
{
    if (m_running || mime == nullptr || !mime->hasUrls() || mime->urls().size() != 1) {
        return {};
    }
    const QUrl url = mime->urls().constFirst();
    if (!url.isLocalFile()) {
        return {};
    }
    const QString file = url.toLocalFile();
    const QString suffix = QFileInfo(file).suffix().toLower();
    return suffix == QLatin1String("tvk") || suffix == QLatin1String("csv") ? file : QString();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!droppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QString file = droppedFile(event->mimeData());
    if (file.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    if (QFileInfo(file).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0) {
        importCsvFile(file);
    } else {
        openChosenFile(file);
    }
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // Esc stops a run wherever the focus is in the main window, not only in the progress window
    if (event->key() == Qt::Key_Escape && m_running) {
        progressWindow->btnCancel->click();
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtBox->viewport()) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (!droppedFile(drag->mimeData()).isEmpty()) {
                drag->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!droppedFile(drop->mimeData()).isEmpty()) {
                dropEvent(drop);
                return true;
            }
        }
        return QMainWindow::eventFilter(watched, event);
    }
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
    font.setStrikeOut(chosen->strikeOut());
    txtBox->setFont(font);
    programSettings()->setValue(fontKey, font.toString());
}

void MainWindow::showAnalysisDialog()
{
    // a closed dialog is only waiting to be deleted: every opening starts afresh
    if (analysisDialog && !analysisDialog->isVisible()) {
        analysisDialog = nullptr;
    }
    if (!analysisDialog) {
        analysisDialog = new AnalysisDialog(m_state, m_prompts, this);
        analysisDialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(analysisDialog, &AnalysisDialog::runRequested, this, &MainWindow::startRun);
    }
    analysisDialog->show();
    analysisDialog->raise();
    analysisDialog->activateWindow();
    analysisDialog->btnRun->setFocus(Qt::OtherFocusReason);
}

void MainWindow::showOptionsDialog()
{
    if (!optionsDialog->isVisible()) {
        optionsDialog->loadFrom(m_state);
    }
    optionsDialog->show();
    optionsDialog->raise();
    optionsDialog->activateWindow();
    optionsDialog->H2Text->setFocus(Qt::OtherFocusReason);
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
    if (aboutBox == nullptr) {
        aboutBox = new AboutBox(m_prompts, this);
    }
    aboutBox->setContactText();
    aboutBox->show();
    aboutBox->raise();
    aboutBox->activateWindow();
}

void MainWindow::runAllPopulationsAndVariables()
{
    if (!mnuRun->isEnabled()) {
        return;
    }
    showAnalysisDialog();
    analysisDialog->btnRun->click();
}

void MainWindow::startRun()
{
    if (!mayDiscardEdits()) {
        return;
    }
    // The run works on its own copy of what it reads; the window stays responsive and shows
    // its progress, while every command but Help and About is disabled until the run ends.
    RunInput input{m_state.dataSet, m_state.settings, m_state.selection};
    m_textBeforeRun = txtBox->toPlainText();
    const bool editedBeforeRun = txtBox->document()->isModified();
    txtBox->clear();
    txtBox->document()->setModified(editedBeforeRun);
    m_running = true;
    m_runMark = tr("running");
    applyCommandStates();

    // the further analyses' jobs belong to the run being replaced
    if (bootstrapWindow != nullptr) {
        bootstrapWindow->abandon();
    }
    if (mantelWindow != nullptr) {
        mantelWindow->abandon();
    }
    RunProgress& sink = progressWindow->startRun();
    m_job.start<RunOutput>(
        [input = std::move(input), clock = m_clock](ProgressSink& progress) {
            return runAnalysis(input, clock, progress);
        },
        [this](Result<RunOutput>&& result) { finishRun(std::move(result)); },
        "The computer has not enough memory for this analysis; choose fewer populations or "
        "variables.",
        &sink);
}

void MainWindow::finishRun(Result<RunOutput> result)
{
    progressWindow->endRun();
    m_running = false;
    m_runMark.clear();

    if (!result) {
        // a failed or cancelled run changes nothing: the earlier report, results and menus stay
        const bool edited = txtBox->document()->isModified();
        txtBox->setPlainText(m_textBeforeRun);
        txtBox->document()->setModified(edited);
        applyCommandStates();
        if (result.error().kind != ErrorKind::Cancelled) {
            m_prompts.message(
                UserPrompts::Icon::Critical, tr("Error"), messageText(result.error().message));
        }
        emit runFinished(false);
        if (m_closeAfterRun) {
            close();
        }
        return;
    }

    const bool warn = result->warnOutputTooLarge;
    const QString screenText = textFromReport(result->screenText);
    m_lastBasis = std::make_shared<const RunBasis>(std::move(result->basis));
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
    txtBox->document()->setModified(false);
    m_commands.outputMenu = true;
    m_commands.savePca2 = m_state.settings.scaledAnalysis;
    applyCommandStates();
    if (saveMatDialog != nullptr && saveMatDialog->isVisible()) {
        saveMatDialog->enableScaledChoices(m_state);
    }
    if (chartWindow != nullptr) {
        chartWindow->refresh();
    }
    emit runFinished(true);
    if (m_closeAfterRun) {
        close(); // the run ended before it saw the cancel; nothing is to be asked now
    }
}

void MainWindow::showRunProgress(int pass, int percent)
{
    // the title is what the taskbar shows of a run under way
    m_runMark = tr("running, pass %1 of 2: %2%").arg(pass).arg(percent);
    updateTitle();
}

bool MainWindow::saveOutput()
{
    if (!m_state.askSaveName) {
        // saved before: the same file again, with the text box as it is now
        return writeOutput(toQt(m_state.outputFileName),
                           appendListing(SaveKind::SaveOutput,
                                         m_state.askSaveName,
                                         m_state.outputFitsScreen,
                                         m_state.settings.showMatrices));
    }
    return saveOutputToChosenFile(SaveKind::SaveOutput);
}

bool MainWindow::saveOutputAs()
{
    return saveOutputToChosenFile(SaveKind::SaveOutputAs);
}

// Asks for the file name, writes, and from then on Save Output rewrites that file.
bool MainWindow::saveOutputToChosenFile(SaveKind kind)
{
    const auto fileName = m_prompts.saveFile(
        {{tr("Text Files (*.TXT *.txt)")}, {}, QStringLiteral("txt"), outputFolder, {}});
    if (!fileName) {
        return false;
    }
    if (!writeOutput(*fileName,
                     appendListing(kind,
                                   m_state.askSaveName,
                                   m_state.outputFitsScreen,
                                   m_state.settings.showMatrices))) {
        return false;
    }
    m_state.askSaveName = false;
    m_state.outputFileName = toStd(*fileName);
    return true;
}

bool MainWindow::writeOutput(const QString& fileName, bool withListing)
{
    // the text box hands out LF lines, including any the user typed
    const std::string displayed = toCrLf(toStd(txtBox->toPlainText()));
    if (!writeExportFile(
            m_prompts, fileName, savedOutputText(displayed, m_state.matrixFile, withListing))) {
        return false;
    }
    txtBox->document()->setModified(false);
    return true;
}

void MainWindow::showSaveMatDialog()
{
    if (saveMatDialog == nullptr) {
        saveMatDialog = new SaveMatDialog(m_state, m_prompts, this);
    }
    if (!saveMatDialog->isVisible()) {
        saveMatDialog->loadFrom(m_state);
    }
    saveMatDialog->show();
    saveMatDialog->raise();
    saveMatDialog->activateWindow();
    saveMatDialog->btnClose->setFocus(Qt::OtherFocusReason);
}

void MainWindow::showChartWindow()
{
    if (chartWindow == nullptr) {
        chartWindow = new ChartWindow(m_state, m_prompts, this);
        chartWindow->setBootstrapSource([this] { return bootstrapOfRunShown(); });
    }
    chartWindow->followRun(m_commands.outputMenu);
    chartWindow->refresh();
    chartWindow->show();
    chartWindow->raise();
    chartWindow->activateWindow();
}

RunBootstrap MainWindow::bootstrapOfRunShown() const
{
    // the window keeps its result for the run it resampled, which may not be the one shown
    if (bootstrapWindow == nullptr || !bootstrapWindow->result() || !m_commands.outputMenu ||
        m_lastBasis == nullptr || bootstrapWindow->basis() != m_lastBasis) {
        return {};
    }
    return {&*bootstrapWindow->result(), m_lastBasis->biasCorrection};
}

void MainWindow::followRunInWindows()
{
    const std::shared_ptr<const RunBasis> basis = m_commands.outputMenu ? m_lastBasis : nullptr;
    if (sweepWindow != nullptr) {
        sweepWindow->followRun(basis, QFileInfo(toQt(m_state.dataSet.dataPath)).fileName());
    }
    if (bootstrapWindow != nullptr) {
        bootstrapWindow->followRun(basis, m_state.dataSet);
    }
    if (mantelWindow != nullptr) {
        mantelWindow->followRun(basis, m_state.results, m_state.matrixCount == 2);
    }
}

void MainWindow::showSweepWindow()
{
    if (sweepWindow == nullptr) {
        sweepWindow = new SweepWindow(m_prompts, this);
    }
    followRunInWindows();
    sweepWindow->show();
    sweepWindow->raise();
    sweepWindow->activateWindow();
}

void MainWindow::showMantelWindow()
{
    if (mantelWindow == nullptr) {
        mantelWindow = new MantelWindow(m_prompts, this);
    }
    followRunInWindows();
    mantelWindow->show();
    mantelWindow->raise();
    mantelWindow->activateWindow();
}

void MainWindow::showBootstrapWindow()
{
    if (bootstrapWindow == nullptr) {
        bootstrapWindow = new BootstrapWindow(m_prompts, this);
        // the tree's support comes and goes with the bootstrap's result
        const auto redrawChart = [this] {
            if (chartWindow != nullptr) {
                chartWindow->refresh();
            }
        };
        connect(bootstrapWindow, &BootstrapWindow::bootstrapStarted, this, redrawChart);
        connect(bootstrapWindow, &BootstrapWindow::bootstrapFinished, this, redrawChart);
    }
    followRunInWindows();
    bootstrapWindow->show();
    bootstrapWindow->raise();
    bootstrapWindow->activateWindow();
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

void MainWindow::saveResultsJson()
{
    if (m_lastBasis == nullptr) {
        return; // the Output menu is enabled only after a completed run
    }
    const auto fileName = m_prompts.saveFile(
        {{qtFileFilter(jsonFileFilter)}, {}, QStringLiteral("json"), resultsFolder, {}});
    if (!fileName) {
        return;
    }
    // The further analyses' windows hold results of this run only: a new run clears them.
    const SweepTable* sweep = sweepWindow != nullptr && !sweepWindow->table().rows.empty()
                                  ? &sweepWindow->table()
                                  : nullptr;
    const BootstrapResult* bootstrap = bootstrapWindow != nullptr && bootstrapWindow->result()
                                           ? &*bootstrapWindow->result()
                                           : nullptr;
    const MantelResult* mantel =
        mantelWindow != nullptr && mantelWindow->result() ? &*mantelWindow->result() : nullptr;
    const std::string text = resultJsonText({m_state.dataSet,
                                             *m_lastBasis,
                                             m_state.results,
                                             m_state.matrixCount,
                                             sweep,
                                             bootstrap,
                                             mantel});
    if (writeExportFile(m_prompts, *fileName, text)) {
        m_prompts.message(UserPrompts::Icon::None, tr("TAVRIK"), tr("File has been saved."));
    }
}

void MainWindow::saveCsv(const std::string& text, const QString& confirmation)
{
    const auto fileName = m_prompts.saveFile(
        {{qtFileFilter(csvFileFilter)}, {}, QStringLiteral("csv"), resultsFolder, {}});
    if (!fileName) {
        return;
    }
    if (writeExportFile(m_prompts, *fileName, text)) {
        m_prompts.message(UserPrompts::Icon::None, tr("TAVRIK"), confirmation);
    }
}

} // namespace tavrik
