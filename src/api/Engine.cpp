#include "api/Engine.h"

#include "datafile/DataFileReader.h"
#include "datafile/DataSelection.h"
#include "datafile/GeographyFile.h"
#include "datafile/TvkWriter.h"
#include "export/ResultJson.h"
#include "io/TextEncoding.h"
#include "state/HeritabilityText.h"

#include <cmath>
#include <limits>
#include <map>

namespace tavrik {

namespace {

Error tableError(std::string message, const TableData& table, std::string field = {})
{
    return Error::usage(std::move(message), table.name, 0, std::move(field));
}

// The populations in their order, and the 1-based code of every record's population.
struct Coding
{
    std::vector<std::string> names;
    std::vector<std::int16_t> codes;
};

Result<Coding> codeRecords(const TableData& table)
{
    Coding coding;
    std::map<std::string, std::int16_t> codeOf;
    const auto add = [&](const std::string& name) -> Status {
        if (coding.names.size() >=
            static_cast<std::size_t>(std::numeric_limits<std::int16_t>::max())) {
            return tableError("a data set holds at most 32767 populations", table, "population");
        }
        coding.names.push_back(name);
        codeOf.emplace(name, static_cast<std::int16_t>(coding.names.size()));
        return Done{};
    };
    for (const std::string& name : table.populations) {
        if (codeOf.count(name) != 0) {
            return tableError("the population " + quoteFound(name) + " is named twice in the order",
                              table,
                              "population");
        }
        if (Status st = add(name); !st) {
            return st.error();
        }
    }
    coding.codes.reserve(table.population.size());
    for (std::size_t r = 0; r < table.population.size(); ++r) {
        const std::string& name = table.population[r];
        auto at = codeOf.find(name);
        if (at == codeOf.end()) {
            if (!table.populations.empty()) {
                return tableError("record " + std::to_string(r + 1) +
                                      " belongs to the population " + quoteFound(name) +
                                      ", which the order of populations lacks",
                                  table,
                                  "population");
            }
            if (Status st = add(name); !st) {
                return st.error();
            }
            at = codeOf.find(name);
        }
        coding.codes.push_back(at->second);
    }
    return coding;
}

Result<DataFileHeader> tableHeader(const TableData& table, const Coding& coding)
{
    if (!table.census.empty() && table.census.size() != coding.names.size()) {
        return tableError("there are " + std::to_string(coding.names.size()) + " populations and " +
                              std::to_string(table.census.size()) + " census sizes",
                          table,
                          "census");
    }
    if (table.variableNames.size() != table.variables.size()) {
        return tableError("there are " + std::to_string(table.variables.size()) +
                              " variables and " + std::to_string(table.variableNames.size()) +
                              " variable names",
                          table,
                          "variables");
    }
    DataFileHeader header;
    header.title = table.title.empty() ? table.name : table.title;
    header.popCount = static_cast<std::int16_t>(coding.names.size());
    header.varCount = static_cast<std::int16_t>(
        std::min<std::size_t>(table.variables.size(), std::numeric_limits<std::int16_t>::max()));
    if (table.variables.size() > static_cast<std::size_t>(header.varCount)) {
        header.varCount = 0; // refused by the writer with its own message
    }
    for (std::size_t p = 0; p < coding.names.size(); ++p) {
        // a census size is stored as a 32-bit float, as a data file's would be
        const float size = table.census.empty() ? 1.0f : static_cast<float>(table.census[p]);
        header.populations.push_back({coding.names[p], static_cast<std::int16_t>(p + 1), size});
    }
    header.varNames = table.variableNames;
    for (std::size_t v = 0; v < table.variables.size(); ++v) {
        if (table.variables[v].size() != table.population.size()) {
            return tableError("the variable " + quoteFound(table.variableNames[v]) + " has " +
                                  std::to_string(table.variables[v].size()) + " values for " +
                                  std::to_string(table.population.size()) + " records",
                              table,
                              table.variableNames[v]);
        }
    }
    return header;
}

Result<EngineRun> runLoaded(Result<DataSet> loaded, const EngineChoice& choice, const Clock& clock)
{
    if (!loaded) {
        return loaded.error();
    }
    EngineRun run;
    run.threads = choice.threads;
    run.input.dataSet = std::move(*loaded);
    run.input.settings.heritability = static_cast<float>(choice.heritability);
    if (!heritabilityAccepted(run.input.settings.heritability)) {
        return Error::usage("the heritability must be above 0 and at most 1",
                            run.input.dataSet.dataPath,
                            0,
                            "heritability");
    }
    run.input.settings.biasCorrection = choice.biasCorrection;
    run.input.settings.scaledAnalysis = choice.scaled;
    run.input.threads = choice.threads;
    Result<Selection> selection =
        selectByName(run.input.dataSet, choice.populations, choice.variables);
    if (!selection) {
        return selection.error();
    }
    run.input.selection = std::move(*selection);
    NullProgress quiet;
    Result<RunOutput> output = runAnalysis(run.input, clock, quiet);
    if (!output) {
        return output.error();
    }
    run.output = std::move(*output);
    return run;
}

} // namespace

Result<std::string> tableFileText(const TableData& table)
{
    Result<Coding> coding = codeRecords(table);
    if (!coding) {
        return coding.error();
    }
    Result<DataFileHeader> header = tableHeader(table, *coding);
    if (!header) {
        return header.error();
    }
    Result<TvkWriter> writer = TvkWriter::start(*header);
    if (!writer) {
        return Error::usage(writer.error().message, table.name);
    }
    std::vector<double> values(table.variables.size());
    for (std::size_t r = 0; r < table.population.size(); ++r) {
        for (std::size_t v = 0; v < values.size(); ++v) {
            values[v] = table.variables[v][r];
        }
        if (Status st = writer->addRecord(coding->codes[r], values); !st) {
            return Error::usage(st.error().message, table.name);
        }
    }
    return std::move(*writer).text();
}

Result<TableData> readTable(const std::string& path)
{
    Result<DataFileReader> reader = DataFileReader::open(pathFromText(path));
    if (!reader) {
        return reader.error();
    }
    Result<DataFileHeader> header = reader->readHeader();
    if (!header) {
        return header.error();
    }
    TableData table;
    table.name = dataSetFromHeader(*header, path).dataPath;
    table.title = header->title;
    // a later population with the same code takes its records, as in a run
    std::map<double, std::size_t> owner;
    for (std::size_t p = 0; p < header->populations.size(); ++p) {
        const PopulationEntry& entry = header->populations[p];
        table.populations.push_back(entry.name);
        table.census.push_back(entry.size);
        owner[entry.code] = p;
    }
    table.variableNames = header->varNames;
    table.variables.resize(table.variableNames.size());
    std::vector<double> values(table.variableNames.size());
    double code = 0.0;
    for (;;) {
        Result<bool> more = reader->nextRecord(code, values);
        if (!more) {
            return more.error();
        }
        if (!*more) {
            break;
        }
        const auto at = owner.find(code); // only a whole number in range equals a code
        if (at == owner.end()) {
            continue;
        }
        table.population.push_back(table.populations[at->second]);
        for (std::size_t v = 0; v < values.size(); ++v) {
            table.variables[v].push_back(values[v]);
        }
    }
    return table;
}

Result<EngineRun> runTable(const TableData& table, const EngineChoice& choice, const Clock& clock)
{
    Result<std::string> text = tableFileText(table);
    if (!text) {
        return text.error();
    }
    return runLoaded(
        loadHeldDataSet(std::make_shared<const std::string>(std::move(*text)), table.name),
        choice,
        clock);
}

Result<EngineRun> runFile(const std::string& path, const EngineChoice& choice, const Clock& clock)
{
    return runLoaded(loadDataSet(pathFromText(path)), choice, clock);
}

Result<SweepTable> sweepOf(const EngineRun& run, const std::string& range)
{
    Result<std::vector<SweepPoint>> points = heritabilityRange(range);
    if (!points) {
        return points.error();
    }
    return heritabilitySweep(run.output.basis, *points);
}

Result<BootstrapResult>
bootstrapOf(const EngineRun& run, std::size_t replicates, std::uint64_t seed, IntervalKind interval)
{
    Result<RecordTable> records =
        loadChosenRecords(run.input.dataSet, run.output.basis, bootstrapMemoryBudget);
    if (!records) {
        return records.error();
    }
    BootstrapSettings settings;
    settings.replicates = replicates;
    settings.seed = seed;
    settings.threads = run.threads;
    settings.interval = interval;
    return runBootstrap(*records, run.output.basis, settings);
}

Result<MantelResult> mantelOf(const EngineRun& run,
                              const std::string& geographyPath,
                              const std::string& controlPath,
                              MantelSettings settings)
{
    Result<Geography> geography = readGeography(pathFromText(geographyPath));
    if (!geography) {
        return geography.error();
    }
    std::optional<Geography> control;
    if (!controlPath.empty()) {
        Result<Geography> read = readGeography(pathFromText(controlPath));
        if (!read) {
            return read.error();
        }
        control = std::move(*read);
    }
    return mantelOf(run, *geography, control ? &*control : nullptr, settings);
}

Result<MantelResult> mantelOf(const EngineRun& run,
                              const Geography& geography,
                              const Geography* control,
                              MantelSettings settings)
{
    Result<MantelInput> input = mantelInputFrom(run.results(), run.scaled(), geography, control);
    if (!input) {
        return input.error();
    }
    settings.threads = run.threads;
    return runMantel(*input, settings);
}

Result<TreeRun> treeOf(const EngineRun& run, bool scaled, const BootstrapResult* bootstrap)
{
    if (scaled && !run.scaled()) {
        return Error::usage("every population has the same census size, so the run computes no "
                            "scaled matrices to make a tree of");
    }
    return treeOfRun(run.results(), scaled, bootstrap, run.output.basis.biasCorrection);
}

std::string engineJson(const EngineRun& run,
                       const SweepTable* sweep,
                       const BootstrapResult* bootstrap,
                       const MantelResult* mantel)
{
    return resultJsonText({run.input.dataSet,
                           run.output.basis,
                           run.results(),
                           run.output.matrixCount,
                           sweep,
                           bootstrap,
                           mantel});
}

} // namespace tavrik
