#include "cli/BatchImport.h"

#include "cli/BatchRun.h"
#include "cli/OutputFiles.h"
#include "datafile/CsvImport.h"
#include "datafile/TvkWriter.h"
#include "io/AtomicFile.h"
#include "io/TextEncoding.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tavrik {

namespace {

// Lines of the left-out rows as a user reads them: the first ones, then how many more.
std::string lineList(const ImportPreview& preview)
{
    const auto n = static_cast<std::size_t>(preview.leftOutCount);
    std::string text = n == 1 ? "line " : "lines ";
    for (std::size_t i = 0; i < preview.leftOut.size(); ++i) {
        text += (i > 0 ? ", " : "") + std::to_string(preview.leftOut[i].line);
    }
    if (n > preview.leftOut.size()) {
        text += " and " + std::to_string(n - preview.leftOut.size()) + " more";
    }
    return text;
}

// The variable columns: the named ones in the order given, or every numeric column but the
// population column in file order, with a note on err for every other column left out.
// Column indices are 0-based.
Result<std::vector<std::size_t>> variableColumns(const CsvTable& table,
                                                 std::size_t populationColumn,
                                                 const std::vector<std::string>& names,
                                                 std::ostream& err)
{
    std::vector<std::size_t> columns;
    if (names.empty()) {
        for (std::size_t c = 0; c < table.columns.size(); ++c) {
            if (c == populationColumn) {
                continue;
            }
            if (table.columns[c].numeric) {
                columns.push_back(c);
            } else {
                printBatchMessage(err, "note: left out " + columnProblem(table, c));
            }
        }
        if (columns.empty()) {
            return Error::usage(table.displayName +
                                    ": no column but the population column holds numbers only; "
                                    "choose the variables with --variable NAME",
                                table.path);
        }
        return columns;
    }
    for (const std::string& name : names) {
        Result<std::size_t> column = findColumn(table, name);
        if (!column) {
            return column.error();
        }
        if (*column == populationColumn) {
            return Error::usage(table.displayName + ": column " + std::to_string(*column + 1) +
                                    " (" + name +
                                    ") holds the populations and cannot also be a variable",
                                table.path);
        }
        // As in a run, a name given twice counts once; the first place counts.
        if (std::find(columns.begin(), columns.end(), *column) == columns.end()) {
            columns.push_back(*column);
        }
    }
    return columns;
}

// The output must replace neither input, and a target that cannot be written is refused
// before the table is read.
Status checkImportTarget(const BatchOptions& options)
{
    const std::string& outputPath = *options.outputPath;
    if (outputPath == standardOutputPath) {
        return Done{};
    }
    const std::filesystem::path output = pathFromText(outputPath);
    if (namesSameFile(output, pathFromText(*options.importCsv)) ||
        (options.censusSizesPath &&
         namesSameFile(output, pathFromText(*options.censusSizesPath)))) {
        return Error::usage("--output " + outputPath + " would replace an input file", outputPath);
    }
    if (Result<OutputTarget> target = checkOutputTarget(output); !target) {
        return target.error();
    }
    return Done{};
}

// The columns, title and census sizes that the options choose; notes on columns left out go
// to err.
Result<ImportPlan> importPlan(const BatchOptions& options, const CsvTable& table, std::ostream& err)
{
    ImportPlan plan = defaultPlan(table);
    Result<std::size_t> populations = findColumn(table, *options.populationColumn);
    if (!populations) {
        return populations.error();
    }
    plan.populationColumn = *populations;
    Result<std::vector<std::size_t>> variables =
        variableColumns(table, plan.populationColumn, options.variables, err);
    if (!variables) {
        return variables.error();
    }
    plan.variableColumns = std::move(*variables);
    if (options.title) {
        plan.title = *options.title;
    }
    if (options.censusSizesPath) {
        Result<std::map<std::string, float>> sizes =
            readCensusSizes(pathFromText(*options.censusSizesPath));
        if (!sizes) {
            return sizes.error();
        }
        plan.censusSizes = std::move(*sizes);
    }
    plan.leaveOutRows = options.leaveOutBadRows;
    return plan;
}

// Rows that cannot be imported stop the import unless the options leave them out.
Result<ImportPreview> checkedPreview(const CsvTable& table, const ImportPlan& plan)
{
    Result<ImportPreview> preview =
        tavrik::preview(table, plan.populationColumn, plan.variableColumns);
    if (!preview) {
        return preview.error();
    }
    if (preview->leftOutCount > 0 && !plan.leaveOutRows) {
        return Error::dataFile(table.displayName + ": " + leftOutSummary(*preview) +
                                   "\nfirst: " + preview->leftOut.front().reason +
                                   "\ngive --leave-out-bad-rows to import the other rows",
                               table.path,
                               preview->leftOut.front().line);
    }
    return preview;
}

// Streamed: a file that changes half-way still ends the output with status 3.
Status writeImportToStdout(const CsvTable& table, const ImportPlan& plan, std::ostream& out)
{
    Status written = writeTvk(table, plan, [&out](std::string_view piece) -> Status {
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
        if (!out) {
            return Error::io("cannot write the data file to standard output");
        }
        return Done{};
    });
    out.flush();
    if (written && !out) {
        written = Error::io("cannot write the data file to standard output");
    }
    return written;
}

// Streamed into the atomic writer: memory does not grow with the table, and the target is
// replaced only once the whole file is written.
Status writeImportToFile(const CsvTable& table, const ImportPlan& plan, const std::string& path)
{
    auto file = AtomicFile::open(pathFromText(path));
    if (!file) {
        return file.error();
    }
    Status written =
        writeTvk(table, plan, [&file](std::string_view piece) { return file->write(piece); });
    if (written) {
        written = file->commit();
    }
    return written;
}

void printImportNotes(const CsvTable& table,
                      const ImportPlan& plan,
                      const ImportPreview& preview,
                      std::ostream& err)
{
    if (preview.leftOutCount > 0) {
        const long n = preview.leftOutCount;
        printBatchMessage(err,
                          "note: " + std::to_string(n) + (n == 1 ? " row" : " rows") +
                              " with a value that is not a number or no population left out "
                              "of " +
                              table.displayName + ": " + lineList(preview));
    }
    if (std::string missing = missingSummary(table, plan.variableColumns, preview);
        !missing.empty()) {
        printBatchMessage(err, "note: " + table.displayName + ": " + missing);
    }
}

// Target, table, plan, preview, file, notes: the first stage that fails ends the import.
Status importStages(const BatchOptions& options, std::ostream& out, std::ostream& err)
{
    if (Status target = checkImportTarget(options); !target) {
        return target;
    }
    Result<CsvTable> table = readCsv(pathFromText(*options.importCsv));
    if (!table) {
        return table.error();
    }
    for (const std::string& note : table->notes) {
        printBatchMessage(err, "note: " + table->displayName + ", " + note);
    }
    Result<ImportPlan> plan = importPlan(options, *table, err);
    if (!plan) {
        return plan.error();
    }
    Result<ImportPreview> preview = checkedPreview(*table, *plan);
    if (!preview) {
        return preview.error();
    }
    const Status written = *options.outputPath == standardOutputPath
                               ? writeImportToStdout(*table, *plan, out)
                               : writeImportToFile(*table, *plan, *options.outputPath);
    if (!written) {
        return written;
    }
    printImportNotes(*table, *plan, *preview, err);
    return Done{};
}

} // namespace

int runImport(const BatchOptions& options, std::ostream& out, std::ostream& err)
{
    const Status done = importStages(options, out, err);
    if (!done) {
        printBatchMessage(err, done.error().message);
        return exitStatusFor(done.error().kind);
    }
    return static_cast<int>(BatchExit::Done);
}

} // namespace tavrik
