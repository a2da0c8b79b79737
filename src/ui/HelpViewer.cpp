#include "ui/HelpViewer.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTextCursor>
#include <QToolBar>
#include <QUrl>

#include <algorithm>

namespace tavrik {

namespace {

const QString guideFile = QStringLiteral("tavrik-guide.html");
constexpr int viewerWidth = 760;  // pixels
constexpr int viewerHeight = 820; // pixels
constexpr int gap = 8;            // pixels between the main window and the viewer

} // namespace

QString guidePathFrom(const QString& programDir)
{
    const QDir dir(programDir);
    const QStringList candidates = {
        dir.filePath(QStringLiteral("help/") + guideFile),
        dir.filePath(QStringLiteral("../share/tavrik/help/") + guideFile),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile()) {
            return QDir::cleanPath(candidate);
        }
    }
    return QDir::cleanPath(candidates.front());
}

QString defaultGuidePath()
{
    return guidePathFrom(QCoreApplication::applicationDirPath());
}

HelpViewer::HelpViewer(const QString& guidePath, QWidget* parent)
    : QMainWindow(parent)
    , m_guidePath(guidePath)
{
    setObjectName(QStringLiteral("helpViewer"));
    // A window of its own even when it has a parent, so it can stand beside the main window.
    setWindowFlag(Qt::Window, true);
    setWindowTitle(tr("TAVRIK Help"));
    resize(viewerWidth, viewerHeight);

    helpBrowser = new QTextBrowser(this);
    helpBrowser->setObjectName(QStringLiteral("helpBrowser"));
    helpBrowser->setOpenExternalLinks(true);
    setCentralWidget(helpBrowser);

    auto* bar = addToolBar(tr("Navigation"));
    bar->setObjectName(QStringLiteral("helpToolBar"));
    bar->setMovable(false);
    actBack = bar->addAction(tr("Back"));
    actBack->setObjectName(QStringLiteral("actBack"));
    actBack->setShortcut(QKeySequence::Back);
    actForward = bar->addAction(tr("Forward"));
    actForward->setObjectName(QStringLiteral("actForward"));
    actForward->setShortcut(QKeySequence::Forward);
    actContents = bar->addAction(tr("Contents"));
    actContents->setObjectName(QStringLiteral("actContents"));
    actBack->setEnabled(false);
    actForward->setEnabled(false);
    bar->addSeparator();
    txtFind = new QLineEdit(bar);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setPlaceholderText(tr("Find (Ctrl+F)"));
    txtFind->setClearButtonEnabled(true);
    txtFind->setMaximumWidth(260);
    bar->addWidget(txtFind);
    actFind = new QAction(tr("Find"), this);
    actFind->setObjectName(QStringLiteral("actFind"));
    actFind->setShortcut(QKeySequence::Find);
    addAction(actFind);
    auto* findAgain = new QAction(this);
    findAgain->setShortcut(QKeySequence::FindNext);
    addAction(findAgain);
    connect(actFind, &QAction::triggered, this, [this] {
        txtFind->setFocus(Qt::ShortcutFocusReason);
        txtFind->selectAll();
    });
    connect(txtFind, &QLineEdit::returnPressed, this, &HelpViewer::findNext);
    connect(findAgain, &QAction::triggered, this, &HelpViewer::findNext);

    connect(actBack, &QAction::triggered, helpBrowser, &QTextBrowser::backward);
    connect(actForward, &QAction::triggered, helpBrowser, &QTextBrowser::forward);
    connect(actContents, &QAction::triggered, this, &HelpViewer::showContents);
    connect(helpBrowser, &QTextBrowser::backwardAvailable, actBack, &QAction::setEnabled);
    connect(helpBrowser, &QTextBrowser::forwardAvailable, actForward, &QAction::setEnabled);

    const QFileInfo info(m_guidePath);
    if (info.isFile() && info.isReadable()) {
        helpBrowser->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
        m_loaded = !helpBrowser->document()->isEmpty();
    }
    if (!m_loaded) {
        actContents->setEnabled(false);
        helpBrowser->setPlainText(tr("The TAVRIK user guide could not be opened.\n\n"
                                     "It was looked for in this file:\n\n    %1\n\n"
                                     "The guide belongs in the folder \"help\" beside the program, "
                                     "as help/tavrik-guide.html.")
                                      .arg(QDir::toNativeSeparators(m_guidePath)));
    }
}

void HelpViewer::showContents()
{
    if (!m_loaded) {
        return;
    }
    helpBrowser->home();
    helpBrowser->scrollToAnchor(QStringLiteral("contents"));
}

bool HelpViewer::findNext()
{
    const QString text = txtFind->text();
    if (text.isEmpty()) {
        return false;
    }
    if (!helpBrowser->find(text)) {
        QTextCursor top = helpBrowser->textCursor();
        top.movePosition(QTextCursor::Start);
        helpBrowser->setTextCursor(top);
        if (!helpBrowser->find(text)) {
            statusBar()->showMessage(tr("\"%1\" is not in the guide.").arg(text));
            return false;
        }
    }
    statusBar()->clearMessage();
    return true;
}

void HelpViewer::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        placeBesideParent();
    }
}

void HelpViewer::placeBesideParent()
{
    QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    if (owner == nullptr || owner->screen() == nullptr) {
        return;
    }
    const QRect area = owner->screen()->availableGeometry();
    const QRect ownerFrame = owner->frameGeometry();
    QPoint topLeft(ownerFrame.right() + gap, ownerFrame.top());
    if (topLeft.x() + width() > area.right()) {
        topLeft.setX(std::max(area.left(), area.right() - width()));
    }
    if (topLeft.y() + height() > area.bottom()) {
        topLeft.setY(std::max(area.top(), area.bottom() - height()));
    }
    move(topLeft);
}

} // namespace tavrik
