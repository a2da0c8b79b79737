// Arbitrary bytes read as a CSV table and imported with the columns it suggests (or, when it
// suggests none, every column but the first, leaving bad rows out). The import must end with a
// data file or an error, never crash or hang, and every data file it writes must read back
// through the data file reader with the same title, names and number of records, and with a
// missing value wherever the preview counted one.
#include "datafile/CsvImport.h"
#include "datafile/DataFileReader.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    auto table = tavrik::readCsvText(bytes, "fuzz.csv");
    if (!table) {
        if (table.error().message.empty()) {
            __builtin_trap();
        }
        return 0;
    }
    const std::set<std::string> names(table->header.begin(), table->header.end());
    if (table->columns.size() != table->header.size() || names.size() != table->header.size()) {
        __builtin_trap(); // one analysis per column, and no name twice
    }
    tavrik::ImportPlan plan = tavrik::defaultPlan(*table);
    if (plan.variableColumns.empty()) {
        for (std::size_t c = 1; c < table->header.size(); ++c) {
            plan.variableColumns.push_back(c);
        }
        plan.populationColumn = 0;
        plan.leaveOutRows = true;
    }
    const auto preview = tavrik::preview(*table, plan.populationColumn, plan.variableColumns);
    auto text = tavrik::tvkText(*table, plan);
    if (!text) {
        if (text.error().message.empty()) {
            __builtin_trap();
        }
        return 0;
    }
    if (!preview) {
        __builtin_trap(); // the import cannot succeed where its own preview failed
    }

    auto reader = tavrik::DataFileReader::fromBuffer(*text, "fuzz.tvk");
    auto header =
        reader ? reader->readHeader() : tavrik::Result<tavrik::DataFileHeader>(reader.error());
    if (!header || header->title != plan.title ||
        header->populations.size() != preview->populations.size()) {
        __builtin_trap(); // the import wrote what the reader refuses or reads otherwise
    }
    for (std::size_t i = 0; i < preview->populations.size(); ++i) {
        if (header->populations[i].name != preview->populations[i].name) {
            __builtin_trap();
        }
    }
    for (std::size_t k = 0; k < plan.variableColumns.size(); ++k) {
        if (header->varNames.at(k) != table->header[plan.variableColumns[k]]) {
            __builtin_trap();
        }
    }
    std::vector<double> values(plan.variableColumns.size());
    std::vector<long> missing(values.size(), 0);
    double code = 0.0;
    long records = 0;
    for (;;) {
        auto more = reader->nextRecord(code, values);
        if (!more) {
            __builtin_trap();
        }
        if (!*more) {
            break;
        }
        ++records;
        for (std::size_t k = 0; k < values.size(); ++k) {
            missing[k] += std::isnan(values[k]) ? 1 : 0;
        }
    }
    if (records != preview->keptRows || missing != preview->missing) {
        __builtin_trap();
    }
    return 0;
}
