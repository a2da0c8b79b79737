// The engine of the web page, compiled to WebAssembly. The page's worker keeps its files in the
// module's memory file system and calls these functions: the header of a data file, the columns
// and populations of a CSV file before its import, and tavrik-batch itself, whose options the
// page assembles from its controls. The run is tavrik-batch's own, so that the page's report and
// files are the program's, byte for byte, and its refusals the same messages.
#include "cli/BatchCommand.h"
#include "cli/BatchRun.h"
#include "datafile/CsvImport.h"
#include "datafile/DataFileReader.h"

#include <emscripten.h>
#include <emscripten/bind.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace {

using nlohmann::json;

// Names and titles may come from a file that is not UTF-8: such bytes become U+FFFD.
std::string text(const json& document)
{
    return document.dump(-1, ' ', false, json::error_handler_t::replace);
}

json failure(const tavrik::Error& error)
{
    return json{{"ok", false}, {"message", error.message}};
}

// The header of a .tvk file: title, populations with their census sizes, variables.
std::string describeData(const std::string& path)
{
    auto reader = tavrik::DataFileReader::open(path);
    if (!reader) {
        return text(failure(reader.error()));
    }
    auto header = reader->readHeader();
    if (!header) {
        return text(failure(header.error()));
    }
    json populations = json::array();
    for (const tavrik::PopulationEntry& p : header->populations) {
        populations.push_back({{"name", p.name}, {"census", p.size}});
    }
    return text(json{{"ok", true},
                     {"title", header->title},
                     {"populations", populations},
                     {"variables", header->varNames}});
}

// A CSV file's columns as the import sees them, and the default choice of the import.
std::string describeCsv(const std::string& path)
{
    auto table = tavrik::readCsv(path);
    if (!table) {
        return text(failure(table.error()));
    }
    json columns = json::array();
    for (std::size_t i = 0; i < table->columns.size(); ++i) {
        const tavrik::CsvColumn& c = table->columns[i];
        columns.push_back(
            {{"name", c.name},
             {"numeric", c.numeric},
             {"filled", c.filled},
             {"problem", c.numeric ? std::string() : tavrik::columnProblem(*table, i)}});
    }
    const tavrik::ImportPlan plan = tavrik::defaultPlan(*table);
    return text(json{{"ok", true},
                     {"rows", table->rowCount},
                     {"columns", columns},
                     {"notes", table->notes},
                     {"populationColumn", plan.populationColumn},
                     {"variableColumns", plan.variableColumns},
                     {"title", plan.title}});
}

// The populations the import would write for this choice of columns, with the rows it would
// leave out and the values it would write as missing.
std::string previewCsv(const std::string& path, const std::string& choiceJson)
{
    auto table = tavrik::readCsv(path);
    if (!table) {
        return text(failure(table.error()));
    }
    std::size_t populationColumn = 0;
    std::vector<std::size_t> variableColumns;
    try {
        const json choice = json::parse(choiceJson);
        populationColumn = choice.at("populationColumn").get<std::size_t>();
        variableColumns = choice.at("variableColumns").get<std::vector<std::size_t>>();
    } catch (const json::exception&) {
        return text(json{{"ok", false}, {"message", "the choice of columns is not understood"}});
    }
    const std::size_t columns = table->columns.size();
    bool valid = populationColumn < columns;
    for (std::size_t c : variableColumns) {
        valid = valid && c < columns && c != populationColumn;
    }
    if (!valid) {
        return text(json{
            {"ok", false},
            {"message",
             "the file has " + std::to_string(columns) + " columns; the choice names another"}});
    }
    auto preview = tavrik::preview(*table, populationColumn, variableColumns);
    if (!preview) {
        return text(failure(preview.error()));
    }
    json populations = json::array();
    for (const tavrik::ImportPopulation& p : preview->populations) {
        populations.push_back({{"name", p.name}, {"records", p.sampleSize}});
    }
    return text(
        json{{"ok", true},
             {"populations", populations},
             {"keptRows", preview->keptRows},
             {"leftOut", preview->leftOutCount},
             {"leftOutSummary", tavrik::leftOutSummary(*preview)},
             {"missingSummary", tavrik::missingSummary(*table, variableColumns, *preview)}});
}

// Standard error of a run: kept whole for the result, and every line handed to the page as it
// is written, so that --progress reaches it while the run goes on.
class LineForwarder : public std::stringbuf
{
protected:
    int sync() override
    {
        const std::string text = str();
        std::size_t end = text.find('\n', m_sent);
        while (end != std::string::npos) {
            const std::string line = text.substr(m_sent, end - m_sent);
            // clang-format off
            EM_ASM({ if (Module.onStatusLine) Module.onStatusLine(UTF8ToString($0)); }, line.c_str());
            // clang-format on
            m_sent = end + 1;
            end = text.find('\n', m_sent);
        }
        return 0;
    }

private:
    std::size_t m_sent = 0;
};

// tavrik-batch with these arguments (without the program's name). sourceDateEpoch dates the
// report as SOURCE_DATE_EPOCH does; empty: now. Returns the exit status with what the program
// wrote to its standard output and standard error.
std::string batch(const std::vector<std::string>& arguments, const std::string& sourceDateEpoch)
{
    std::ostringstream out;
    LineForwarder errBuffer;
    std::ostream err(&errBuffer);
    int status = 0;
    try {
        const std::vector<std::string_view> args(arguments.begin(), arguments.end());
        status = tavrik::runBatchCommand(
            args, sourceDateEpoch.empty() ? nullptr : sourceDateEpoch.c_str(), out, err);
    } catch (const std::exception& e) {
        // the page keeps going, and says what stopped the run
        err << "tavrik-batch: the run stopped: " << e.what() << '\n';
        status = static_cast<int>(tavrik::BatchExit::CannotProceed);
    }
    err.flush();
    return text(json{{"status", status}, {"stdout", out.str()}, {"stderr", errBuffer.str()}});
}

} // namespace

EMSCRIPTEN_BINDINGS(tavrik_web)
{
    emscripten::register_vector<std::string>("StringList");
    emscripten::function("describeData", &describeData);
    emscripten::function("describeCsv", &describeCsv);
    emscripten::function("previewCsv", &previewCsv);
    emscripten::function("batch", &batch);
}
