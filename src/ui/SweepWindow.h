// Analysis > Heritability Sensitivity: Fst, unbiased Fst, its standard error and every
// population's r(ii) of the last run recomputed over a range of heritabilities, as a table and
// a line chart, saved as CSV, PNG or SVG. It works from the run's pass statistics, so no record
// is read again; without a completed run it shows nothing.
#pragma once

#include "analysis/HeritabilitySweep.h"
#include "chart/SweepChartLayout.h"
#include "ui/BackgroundJob.h"

#include <QWidget>

#include <memory>

class QLineEdit;
class QPushButton;
class QTableWidget;

namespace tavrik {

class ChartView;
class UserPrompts;

class SweepWindow : public QWidget
{
    Q_OBJECT
public:
    SweepWindow(UserPrompts& prompts, QWidget* parent = nullptr);

    // The last completed run (null: none) and its data file's name for the title. A new run
    // recomputes the table over the range shown.
    void followRun(std::shared_ptr<const RunBasis> basis, const QString& dataName);
    // Recomputes the table and the chart over the range in the boxes, in the background; a
    // range that cannot be read is reported and leaves them as they were.
    void compute();
    bool isComputing() const { return m_job.isRunning(); }

    const SweepTable& table() const { return m_table; }

    QLineEdit* txtFrom = nullptr;
    QLineEdit* txtTo = nullptr;
    QLineEdit* txtStep = nullptr;
    QPushButton* btnCompute = nullptr;
    QTableWidget* tblSweep = nullptr;
    ChartView* chartView = nullptr;
    QPushButton* btnSaveCsv = nullptr;
    QPushButton* btnSavePng = nullptr;
    QPushButton* btnSaveSvg = nullptr;

signals:
    // A computation has ended, with a table or with the message shown.
    void computed(bool succeeded);

private:
    void finish(Result<SweepTable> sweep);
    void clear();
    void fillTable();
    void saveCsv();
    void saveChart(bool png);

    UserPrompts& m_prompts;
    std::shared_ptr<const RunBasis> m_basis;
    SweepTable m_table;
    SweepChartLayout m_layout;
    BackgroundJob m_job; // last: it stops before the rest goes
};

} // namespace tavrik
