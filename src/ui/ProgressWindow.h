// The small window `running` that shows the current status line of an analysis run, a bar of
// the data file's bytes read in the current pass, and a Cancel button. The run reports to its
// RunProgress from its own thread; the window shows the latest report a few dozen times a
// second, however fast the reports come.
#pragma once

#include "analysis/ProgressSink.h"

#include <QTimer>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tavrik {

class RunProgress final : public ProgressSink
{
public:
    struct Snapshot
    {
        std::string line;
        int pass = 0; // 0 before the first pass
        std::uint64_t bytesDone = 0;
        std::uint64_t bytesTotal = 0;
        bool changed = false; // since the previous snapshot
    };

    void status(std::string_view line) override;
    void passProgress(int pass, std::uint64_t bytesDone, std::uint64_t bytesTotal) override;
    bool cancelled() const override { return m_cancelled.load(std::memory_order_relaxed); }

    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    // Before a run: no line, no pass, not cancelled.
    void reset();
    Snapshot take();

private:
    std::mutex m_mutex;
    Snapshot m_latest;
    std::atomic<bool> m_cancelled{false};
};

class ProgressWindow : public QWidget
{
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* parent = nullptr);

    // Clears the window, then shows this one line.
    void showStatus(const QString& line);
    QString status() const;

    // The sink of the next run: reset, with the window shown centred on its parent.
    RunProgress& startRun();
    // Hides the window; true when Cancel was asked for during the run.
    bool endRun();

    QProgressBar* barProgress = nullptr;
    QPushButton* btnCancel = nullptr;

signals:
    // The pass and its share read, in per cent, whenever that changes.
    void passAdvanced(int pass, int percent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void requestCancel();
    void showLatest();

    QLabel* m_line = nullptr;
    RunProgress m_progress;
    QTimer m_repaint;
    int m_pass = 0;
    int m_percent = -1;
};

} // namespace tavrik
