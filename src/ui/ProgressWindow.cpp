#include "ui/ProgressWindow.h"

#include "state/Version.h"
#include "ui/QtText.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tavrik {

namespace {

constexpr int repaintMs = 33; // about 30 pictures a second, whatever the rate of reports
constexpr int barSteps = 1000;

} // namespace

void RunProgress::status(std::string_view line)
{
    const std::lock_guard lock(m_mutex);
    m_latest.line.assign(line);
    m_latest.changed = true;
}

void RunProgress::passProgress(int pass, std::uint64_t bytesDone, std::uint64_t bytesTotal)
{
    const std::lock_guard lock(m_mutex);
    m_latest.pass = pass;
    m_latest.bytesDone = bytesDone;
    m_latest.bytesTotal = bytesTotal;
    m_latest.changed = true;
}

void RunProgress::reset()
{
    const std::lock_guard lock(m_mutex);
    m_latest = Snapshot{};
    m_cancelled.store(false, std::memory_order_relaxed);
}

RunProgress::Snapshot RunProgress::take()
{
    const std::lock_guard lock(m_mutex);
    Snapshot copy = m_latest;
    m_latest.changed = false;
    return copy;
}

ProgressWindow::ProgressWindow(QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                  Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("running"));
    setWindowTitle(QString::fromLatin1(programTitle));
    m_line = new QLabel(this);
    m_line->setObjectName(QStringLiteral("lblStatus"));
    barProgress = new QProgressBar(this);
    barProgress->setObjectName(QStringLiteral("barProgress"));
    barProgress->setRange(0, barSteps);
    barProgress->setTextVisible(false);
    btnCancel = new QPushButton(tr("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->addWidget(m_line);
    layout->addWidget(barProgress);
    layout->addLayout(buttons);
    setFixedWidth(380);

    m_repaint.setInterval(repaintMs);
    connect(&m_repaint, &QTimer::timeout, this, &ProgressWindow::showLatest);
    connect(btnCancel, &QPushButton::clicked, this, &ProgressWindow::requestCancel);
}

void ProgressWindow::showStatus(const QString& line)
{
    m_line->clear();
    m_line->setText(line);
}

QString ProgressWindow::status() const
{
    return m_line->text();
}

RunProgress& ProgressWindow::startRun()
{
    m_progress.reset();
    m_pass = 0;
    m_percent = -1;
    barProgress->setValue(0);
    btnCancel->setEnabled(true);
    showStatus(tr("...computing..."));
    if (parentWidget() != nullptr) {
        adjustSize();
        move(parentWidget()->geometry().center() - rect().center());
    }
    show();
    raise();
    // Esc and the space bar reach Cancel at once
    activateWindow();
    btnCancel->setFocus(Qt::OtherFocusReason);
    m_repaint.start();
    return m_progress;
}

bool ProgressWindow::endRun()
{
    m_repaint.stop();
    hide();
    return m_progress.cancelled();
}

void ProgressWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        requestCancel();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ProgressWindow::closeEvent(QCloseEvent* event)
{
    // the window goes when the run has stopped, not before
    if (m_repaint.isActive()) {
        requestCancel();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void ProgressWindow::requestCancel()
{
    if (!m_repaint.isActive() || m_progress.cancelled()) {
        return;
    }
    m_progress.cancel();
    btnCancel->setEnabled(false);
    showStatus(tr("...cancelling..."));
}

void ProgressWindow::showLatest()
{
    const RunProgress::Snapshot latest = m_progress.take();
    if (!latest.changed) {
        return;
    }
    if (!m_progress.cancelled() && !latest.line.empty()) {
        showStatus(toQt(latest.line));
    }
    if (latest.pass == 0 || latest.bytesTotal == 0) {
        return;
    }
    const double share = static_cast<double>(std::min(latest.bytesDone, latest.bytesTotal)) /
                         static_cast<double>(latest.bytesTotal);
    barProgress->setValue(static_cast<int>(share * barSteps));
    const int percent = static_cast<int>(share * 100.0);
    if (latest.pass != m_pass || percent != m_percent) {
        m_pass = latest.pass;
        m_percent = percent;
        emit passAdvanced(m_pass, m_percent);
    }
}

} // namespace tavrik
