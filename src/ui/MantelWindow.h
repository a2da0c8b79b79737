// Analysis > Mantel Test: the last run's D-square matrix (and the scaled one after a scaled
// run) against the distances of a geography file, in the background with a progress bar and
// Cancel; r and p for every matrix, a scatter chart of the run's distance against the
// geographic one with its least-squares line (saved as PNG or SVG), and the text of the test
// with every pair's distances. With a control file, the partial test too: r and p with the
// control's distances held constant. Without a completed run nothing can be started.
#pragma once

#include "analysis/AnalysisRun.h"
#include "analysis/Mantel.h"
#include "chart/ScatterChartLayout.h"
#include "ui/BackgroundJob.h"

#include <QWidget>

#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace tavrik {

class ChartView;
class UserPrompts;

class MantelWindow : public QWidget
{
    Q_OBJECT
public:
    MantelWindow(UserPrompts& prompts, QWidget* parent = nullptr);
    ~MantelWindow() override;

    // The last completed run (null basis: none), its results and whether it analysed the scaled
    // matrix. A new run clears the previous test; a test under way is cancelled.
    void
    followRun(std::shared_ptr<const RunBasis> basis, const AnalysisResults& results, bool scaled);
    // Starts the test with the file, permutations, seed and method in the controls.
    void start();
    void cancel();
    // A new run starts: a test under way stops, and nothing of it shows.
    void abandon();

    bool isRunning() const { return m_job.isRunning(); }
    const std::optional<MantelResult>& result() const { return m_result; }
    const ScatterChartLayout& chartLayout() const { return m_layout; }

    QLineEdit* txtGeography = nullptr;
    QPushButton* btnBrowse = nullptr;
    QLineEdit* txtControl = nullptr; // the partial test's file; empty for none
    QPushButton* btnBrowseControl = nullptr;
    QSpinBox* spnPermutations = nullptr;
    QLineEdit* txtSeed = nullptr;
    QComboBox* cboMethod = nullptr; // Pearson, Spearman
    QPushButton* btnRun = nullptr;
    QProgressBar* prgPermutations = nullptr;
    QPushButton* btnCancel = nullptr;
    QLabel* lblSummary = nullptr;
    QTableWidget* tblResults = nullptr;
    QComboBox* cboChartMatrix = nullptr; // the matrices of the result
    ChartView* chartView = nullptr;
    QPushButton* btnSaveText = nullptr;
    QPushButton* btnSavePng = nullptr;
    QPushButton* btnSaveSvg = nullptr;

signals:
    // The test has ended: with results, cancelled or failed (the message shown).
    void mantelFinished(bool succeeded);

private:
    void createControls();
    void layOutControls();
    void browse(QLineEdit* box, QPushButton* button);
    void showProgress(quint64 done, quint64 total);
    void finish(Result<MantelResult> outcome);
    void fillResults();
    void drawChart();
    void updateControls();
    void saveText();
    void saveChart(bool png);

    UserPrompts& m_prompts;
    std::shared_ptr<const RunBasis> m_basis;
    std::shared_ptr<const AnalysisResults> m_results;
    bool m_scaled = false;
    std::optional<MantelResult> m_result;
    ScatterChartLayout m_layout;
    BackgroundJob m_job; // last: it stops before the rest goes
};

} // namespace tavrik
