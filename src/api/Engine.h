// The engine for programs that hold their data in memory (the R and Python packages, the
// browser page): a data set built from columns, the choice of populations and variables, the
// settings, and one call that runs the analysis, with the sweep, bootstrap, Mantel test and tree
// on its result. Every call gives what tavrik-batch gives for a .tvk file of the same values,
// to the last bit and the last byte of every text, and fails with the same messages.
#pragma once

#include "analysis/AnalysisRun.h"
#include "analysis/Bootstrap.h"
#include "analysis/HeritabilitySweep.h"
#include "analysis/Mantel.h"
#include "analysis/TreeAnalysis.h"
#include "datafile/GeographyFile.h"
#include "report/Clock.h"
#include "state/Result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavrik {

// A data set as columns: one entry of population per record, and per variable one value per
// record (NaN for a missing value).
struct TableData
{
    std::string name = "data";            // stands for the data file in texts and messages
    std::string title;                    // the data set's title; empty: name
    std::vector<std::string> population;  // the population of every record
    std::vector<std::string> populations; // their order; empty: in order of first appearance
    std::vector<double> census;           // census size per population; empty: equal sizes
    std::vector<std::string> variableNames;
    std::vector<std::vector<double>> variables;
};

// The data file that holds the table, as tavrik-batch would read it: populations coded 1, 2,
// ... in their order, every record in the table's order, values in the shortest text that
// reads back to them. Refuses, naming the record, population or variable, what a data file
// cannot hold.
[[nodiscard]] Result<std::string> tableFileText(const TableData& table);

// A .tvk file as a table: its title, populations in file order with their census sizes, and
// every record that belongs to one of them (as a run counts them; missing values are NaN).
// The name is the file's full path, as the run of the file names it.
[[nodiscard]] Result<TableData> readTable(const std::string& path);

struct EngineChoice
{
    double heritability = 1.0; // stored as the 32-bit float a run uses, as a typed value would be
    bool biasCorrection = true;
    bool scaled = false;
    std::vector<std::string> populations; // chosen by name; empty: all
    std::vector<std::string> variables;   // chosen by name; empty: all
    unsigned threads = 0;                 // the bootstrap's and Mantel test's; 0: every core
};

// One finished run: what tavrik-batch's --report writes (report()), its --listing (listing()),
// and every number of AnalysisResults in output.results.
struct EngineRun
{
    RunInput input;
    RunOutput output;
    unsigned threads = 0;

    const std::string& report() const { return output.screenText; }
    const std::string& listing() const { return output.matrixFile; }
    const AnalysisResults& results() const { return output.results; }
    bool scaled() const { return output.matrixCount == 2; }
};

// The run of a table, or of a .tvk file, dated by clock (the report's date line).
[[nodiscard]] Result<EngineRun>
runTable(const TableData& table, const EngineChoice& choice, const Clock& clock);
[[nodiscard]] Result<EngineRun>
runFile(const std::string& path, const EngineChoice& choice, const Clock& clock);

// The run's heritability sweep over FROM:TO:STEP (as --heritability-sweep reads it).
[[nodiscard]] Result<SweepTable> sweepOf(const EngineRun& run, const std::string& range);

// The bootstrap of the run's records (as --bootstrap, --seed and --bootstrap-interval).
[[nodiscard]] Result<BootstrapResult> bootstrapOf(const EngineRun& run,
                                                  std::size_t replicates,
                                                  std::uint64_t seed,
                                                  IntervalKind interval);

// The Mantel test of the run's distances against the distances of a geography file (and the
// partial test against a control file when controlPath is not empty).
[[nodiscard]] Result<MantelResult> mantelOf(const EngineRun& run,
                                            const std::string& geographyPath,
                                            const std::string& controlPath,
                                            MantelSettings settings);
// The same with the geography (and control) already read, e.g. by readGeographyText from the
// text of such a file.
[[nodiscard]] Result<MantelResult> mantelOf(const EngineRun& run,
                                            const Geography& geography,
                                            const Geography* control,
                                            MantelSettings settings);

// The run's neighbor-joining tree (of the scaled D-square when scaled), with the support of a
// bootstrap of the same run when one is given.
[[nodiscard]] Result<TreeRun>
treeOf(const EngineRun& run, bool scaled, const BootstrapResult* bootstrap);

// The results document of --json, with whichever analyses beyond the run are given.
std::string engineJson(const EngineRun& run,
                       const SweepTable* sweep = nullptr,
                       const BootstrapResult* bootstrap = nullptr,
                       const MantelResult* mantel = nullptr);

} // namespace tavrik
