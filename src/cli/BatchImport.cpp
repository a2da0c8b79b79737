#include "cli/BatchImport.h"

#include "cli/BatchRun.h"
#include "cli/OutputFiles.h"
#include "datafile/CsvImport.h"
#include "datafile/TvkWriter.h"
#include "io/AtomicFile.h"

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

int fail(std::ostream& err, const Error& error)
{
    printBatchMessage(err, error.message);
    return exitStatusFor(error.kind);
}

} // namespace

int runImport(const BatchOptions& options, std::ostream& out, std::ostream& err)
{
    const std::filesystem::path csvPath = *options.importCsv;
    const std::string& outputPath = *options.outputPath;
    if (outputPath != standardOutputPath) {
        if (namesSameFile(outputPath, csvPath) ||
            (options.censusSizesPath && namesSameFile(outputPath, *options.censusSizesPath))) {
            return fail(err,
                        Error::usage("--output " + outputPath + " would replace an input file",
                                     outputPath));
        }
        // A target that cannot be written is refused before the table is read.
        if (Result<OutputTarget> target = checkOutputTarget(outputPath); !target) {
            return fail(err, target.error());
        }
    }

    Result<CsvTable> table = readCsv(csvPath);
    if (!table) {
        return fail(err, table.error());
    }
    for (const std::string& note : table->notes) {
        printBatchMessage(err, "note: " + table->displayName + ", " + note);
    }
    ImportPlan plan = defaultPlan(*table);
    Result<std::size_t> populations = findColumn(*table, *options.populationColumn);
    if (!populations) {
        return fail(err, populations.error());
    }
    plan.populationColumn = *populations;
    Result<std::vector<std::size_t>> variables =
        variableColumns(*table, plan.populationColumn, options.variables, err);
    if (!variables) {
        return fail(err, variables.error());
    }
    plan.variableColumns = std::move(*variables);
    if (options.title) {
        plan.title = *options.title;
    }
    if (options.censusSizesPath) {
        Result<std::map<std::string, float>> sizes = readCensusSizes(*options.censusSizesPath);
        if (!sizes) {
            return fail(err, sizes.error());
        }
        plan.censusSizes = std::move(*sizes);
    }

    Result<ImportPreview> preview =
        tavrik::preview(*table, plan.populationColumn, plan.variableColumns);
    if (!preview) {
        return fail(err, preview.error());
    }
    if (preview->leftOutCount > 0 && !options.leaveOutBadRows) {
        return fail(err,
                    Error::dataFile(table->displayName + ": " + leftOutSummary(*preview) +
                                        "\nfirst: " + preview->leftOut.front().reason +
                                        "\ngive --leave-out-bad-rows to import the other rows",
                                    table->path,
                                    preview->leftOut.front().line));
    }
    plan.leaveOutRows = options.leaveOutBadRows;

    if (outputPath == standardOutputPath) {
        // Streamed: a file that changes half-way still ends the output with status 3.
        Status written = writeTvk(*table, plan, [&out](std::string_view piece) -> Status {
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
        if (!written) {
            return fail(err, written.error());
        }
    } else {
        // Streamed into the atomic writer: memory does not grow with the table, and the target
        // is replaced only once the whole file is written.
        auto file = AtomicFile::open(outputPath);
        if (!file) {
            return fail(err, file.error());
        }
        Status written =
            writeTvk(*table, plan, [&file](std::string_view piece) { return file->write(piece); });
        if (written) {
            written = file->commit();
        }
        if (!written) {
            return fail(err, written.error());
        }
    }
    if (preview->leftOutCount > 0) {
        const long n = preview->leftOutCount;
        printBatchMessage(err,
                          "note: " + std::to_string(n) + (n == 1 ? " row" : " rows") +
                              " with a value that is not a number or no population left out "
                              "of " +
                              table->displayName + ": " + lineList(*preview));
    }
    if (std::string missing = missingSummary(*table, plan.variableColumns, *preview);
        !missing.empty()) {
        printBatchMessage(err, "note: " + table->displayName + ": " + missing);
    }
    return static_cast<int>(BatchExit::Done);
}

} // namespace tavrik
