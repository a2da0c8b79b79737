#include "datafile/TvkWriter.h"

#include "datafile/InputFile.h"
#include "io/AtomicFile.h"
#include "io/TextEncoding.h"
#include "state/NumberText.h"

#include <cmath>
#include <limits>

namespace tavrik {

namespace {

constexpr long countLimit = std::numeric_limits<std::int16_t>::max();

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Checked by tvkNameProblem before.
void appendName(std::string& out, std::string_view text)
{
    if (text.find('"') != std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    out += text;
    out += '"';
}

} // namespace

std::string tvkNameProblem(std::string_view text)
{
    if (text.size() > maxNameBytes) {
        return "it is " + std::to_string(text.size()) + " bytes long; a data file holds at most " +
               std::to_string(maxNameBytes);
    }
    if (text.find_first_of("\r\n") != std::string_view::npos) {
        return "it holds a line break, which a data file cannot hold in a name";
    }
    if (text.find('"') == std::string_view::npos) {
        return {};
    }
    if (text.find(',') != std::string_view::npos) {
        return "it holds a double quote and a comma, which a data file cannot hold together";
    }
    if (text.front() == '"') {
        return "it starts with a double quote, which a data file cannot hold";
    }
    if (isBlank(text.front()) || isBlank(text.back())) {
        return "it holds a double quote and blanks at an end, which a data file cannot hold "
               "together";
    }
    return {};
}

Result<TvkWriter> TvkWriter::start(const DataFileHeader& header)
{
    const long popCount = header.popCount;
    const long varCount = header.varCount;
    if (popCount < 1 || popCount > countLimit ||
        static_cast<std::size_t>(popCount) != header.populations.size()) {
        return Error::usage("a data file needs 1 to " + std::to_string(countLimit) +
                            " populations, this one has " +
                            std::to_string(header.populations.size()));
    }
    if (varCount < 1 || varCount > countLimit ||
        static_cast<std::size_t>(varCount) != header.varNames.size()) {
        return Error::usage("a data file needs 1 to " + std::to_string(countLimit) +
                            " variables, this one has " + std::to_string(header.varNames.size()));
    }
    const auto badName = [](const std::string& what, const std::string& name) -> Status {
        if (std::string problem = tvkNameProblem(name); !problem.empty()) {
            return Error::usage(what + " " + quoteFound(name) + " cannot be written: " + problem);
        }
        return Done{};
    };
    if (Status ok = badName("the title", header.title); !ok) {
        return ok.error();
    }
    for (const PopulationEntry& p : header.populations) {
        if (Status ok = badName("the population name", p.name); !ok) {
            return ok.error();
        }
        if (!std::isfinite(p.size) || p.size < 0.0f) {
            return Error::usage("the population size of " + quoteFound(p.name) +
                                " must be a finite number of 0 or more, found " +
                                shortestText(p.size));
        }
    }
    for (const std::string& v : header.varNames) {
        if (Status ok = badName("the variable name", v); !ok) {
            return ok.error();
        }
    }

    TvkWriter w;
    std::string& t = w.m_text;
    appendName(t, header.title);
    t += "\r\n";
    t += std::to_string(popCount) + ", " + std::to_string(varCount) + "\r\n";
    for (const PopulationEntry& p : header.populations) {
        appendName(t, p.name);
        t += ", " + std::to_string(p.code) + ", " + shortestText(p.size) + "\r\n";
    }
    for (std::size_t k = 0; k < header.varNames.size(); ++k) {
        if (k > 0) {
            t += ", ";
        }
        appendName(t, header.varNames[k]);
    }
    t += "\r\n";
    w.m_varCount = header.varNames.size();
    return w;
}

Status TvkWriter::addRecord(std::int16_t code, std::span<const double> values)
{
    const std::string number = std::to_string(m_records + 1);
    if (values.size() != m_varCount) {
        return Error::usage("record " + number + " has " + std::to_string(values.size()) +
                            " values, the header names " + std::to_string(m_varCount) +
                            " variables");
    }
    for (const double v : values) {
        if (std::isinf(v)) {
            return Error::usage("record " + number + " holds an infinite value");
        }
    }
    // Built aside so that a refused record leaves the text as it was.
    std::string line = std::to_string(code);
    for (const double v : values) {
        line += ", ";
        line += std::isnan(v) ? "NA" : shortestText(v);
    }
    line += "\r\n";
    m_text += line;
    ++m_records;
    return Done{};
}

Status writeTvkFile(const std::filesystem::path& path, std::string_view text)
{
    return writeFileAtomically(path, text);
}

} // namespace tavrik
