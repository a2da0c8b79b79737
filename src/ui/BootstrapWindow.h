// Analysis > Bootstrap: resamples the records of the last run's populations, in the
// background with a progress bar and Cancel, and shows for every statistic the run's estimate and
// analytic standard error beside the bootstrap's standard error and 95 % percentile interval;
// the table is saved as CSV. Without a completed run nothing can be started.
#pragma once

#include "analysis/Bootstrap.h"
#include "ui/BackgroundJob.h"

#include <QWidget>

#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace tavrik {

class UserPrompts;

class BootstrapWindow : public QWidget
{
    Q_OBJECT
public:
    BootstrapWindow(UserPrompts& prompts, QWidget* parent = nullptr);
    ~BootstrapWindow() override;

    // The last completed run (null basis: none) and the data file it read. A new run clears
    // the results of the previous one; a bootstrap under way is cancelled.
    void followRun(std::shared_ptr<const RunBasis> basis, const DataSet& dataSet);
    // Starts the bootstrap with the replicates and seed in the boxes.
    void start();
    void cancel();
    // A new run starts: a bootstrap under way stops, and nothing of it shows.
    void abandon();

    bool isRunning() const { return m_job.isRunning(); }
    // The result is of this run's data.
    const std::optional<BootstrapResult>& result() const { return m_result; }
    const std::shared_ptr<const RunBasis>& basis() const { return m_basis; }

    QSpinBox* spnReplicates = nullptr;
    QLineEdit* txtSeed = nullptr;
    QPushButton* btnRun = nullptr;
    QProgressBar* prgReplicates = nullptr;
    QPushButton* btnCancel = nullptr;
    QLabel* lblSummary = nullptr;
    QTableWidget* tblResults = nullptr;
    QPushButton* btnSaveCsv = nullptr;

signals:
    // A bootstrap has started; the result before it is gone.
    void bootstrapStarted();
    // The bootstrap has ended: with results, cancelled or failed (the message shown).
    void bootstrapFinished(bool succeeded);

private:
    void showProgress(quint64 done, quint64 total);
    void finish(Result<BootstrapResult> outcome);
    void fillResults();
    void updateControls();
    void saveCsv();

    UserPrompts& m_prompts;
    std::shared_ptr<const RunBasis> m_basis;
    DataSet m_dataSet;
    std::optional<BootstrapResult> m_result;
    BackgroundJob m_job; // last: it stops before the rest goes
};

} // namespace tavrik
