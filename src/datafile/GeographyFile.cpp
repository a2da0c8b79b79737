#include "datafile/GeographyFile.h"

#include "datafile/CsvImport.h"
#include "datafile/InputFile.h"
#include "io/TextEncoding.h"
#include "state/PortableMath.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <optional>

namespace tavrik {

namespace {

std::string lowerAscii(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

bool isCoordinatesHeader(const std::vector<std::string>& header)
{
    if (header.size() != 3) {
        return false;
    }
    const std::string lat = lowerAscii(header[1]);
    const std::string lon = lowerAscii(header[2]);
    return (lat == "latitude" || lat == "lat") &&
           (lon == "longitude" || lon == "lon" || lon == "long" || lon == "lng");
}

std::string columnText(std::size_t column, const std::string& name)
{
    std::string text = "column " + std::to_string(column + 1);
    if (!name.empty()) {
        text += " (" + shownText(name) + ")";
    }
    return text;
}

std::string foundText(const std::string& cell)
{
    return cell.empty() ? std::string("an empty field") : quoteFound(cell);
}

class Reader
{
public:
    explicit Reader(const CsvTable& table)
        : m_table(table)
    {}

    Result<Geography> coordinates();
    Result<Geography> matrix();

private:
    Error error(long line, const std::string& field, const std::string& what) const
    {
        return dataFileError(m_table.path, m_table.displayName, line, field, what);
    }
    // Takes a population's name; false (and the error set) when it is empty or met before.
    bool takeName(const std::string& name, long line, Geography& geo);
    // Takes row (0-based) of a distance matrix; false (and the error set) when it does not fit.
    bool takeMatrixRow(std::size_t row,
                       long line,
                       const std::vector<std::string>& cells,
                       Geography& geo);
    Status checkSymmetric(const Geography& geo) const;

    const CsvTable& m_table;
    std::map<std::string, long> m_seen;
    std::optional<Error> m_failure;
};

bool Reader::takeName(const std::string& name, long line, Geography& geo)
{
    if (name.empty()) {
        m_failure = error(line, "column 1", "no population name");
        return false;
    }
    const auto [at, added] = m_seen.try_emplace(name, line);
    if (!added) {
        m_failure = error(line,
                          "column 1",
                          "population " + quoteFound(name) + " was already given on line " +
                              std::to_string(at->second));
        return false;
    }
    geo.names.push_back(name);
    geo.lines.push_back(line);
    return true;
}

Result<Geography> Reader::coordinates()
{
    Geography geo;
    geo.kind = GeographyKind::Coordinates;
    std::vector<double> latitude;
    std::vector<double> longitude;
    const auto take = [&](long line, std::vector<std::string>& cells) {
        if (!takeName(cells[0], line, geo)) {
            return false;
        }
        const char* what[] = {"a latitude in decimal degrees from -90 to 90",
                              "a longitude in decimal degrees from -180 to 180"};
        const double limit[] = {90.0, 180.0};
        double value[2] = {0.0, 0.0};
        for (std::size_t k = 0; k < 2; ++k) {
            const std::string& cell = cells[k + 1];
            if (parseCell(cell, m_table.separator, value[k]) != CellStatus::Number ||
                !(std::fabs(value[k]) <= limit[k])) {
                m_failure =
                    error(line,
                          columnText(k + 1, m_table.header[k + 1]),
                          "expected " + std::string(what[k]) + ", found " + foundText(cell));
                return false;
            }
        }
        latitude.push_back(value[0]);
        longitude.push_back(value[1]);
        return true;
    };
    if (Status rows = readRows(m_table, take); !rows) {
        return rows.error();
    }
    if (m_failure) {
        return *m_failure;
    }
    if (geo.names.empty()) {
        return error(0, {}, "no populations are given below the header row");
    }
    const std::size_t n = geo.names.size();
    geo.distances = Matrix(n, n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            const double d = greatCircleKm(latitude[i], longitude[i], latitude[j], longitude[j]);
            geo.distances(i, j) = d;
            geo.distances(j, i) = d;
        }
    }
    return geo;
}

Result<Geography> Reader::matrix()
{
    const std::vector<std::string>& header = m_table.header;
    const std::size_t n = header.size() - 1;
    const auto notSquare = [&](long rows) {
        return error(0,
                     {},
                     "expected either a header row population,latitude,longitude or a square "
                     "matrix of distances; the first row names " +
                         std::to_string(n) + (n == 1 ? " population" : " populations") + " but " +
                         std::to_string(rows) + (rows == 1 ? " row follows" : " rows follow"));
    };
    const bool numbersOnly =
        n > 0 && std::all_of(header.begin() + 1, header.end(), [&](const std::string& cell) {
            double value = 0.0;
            return parseCell(cell, m_table.separator, value) == CellStatus::Number;
        });
    if (numbersOnly) {
        return error(m_table.headerLine,
                     {},
                     "expected a header row: population,latitude,longitude for coordinates, or "
                     "the names of the populations for a distance matrix; found " +
                         quoteFound(header[1]) + " in column 2");
    }
    if (n == 0 || m_table.rowCount != static_cast<long>(n)) {
        return notSquare(m_table.rowCount);
    }
    Geography geo;
    geo.kind = GeographyKind::DistanceMatrix;
    geo.distances = Matrix(n, n);
    std::size_t row = 0;
    const auto take = [&](long line, std::vector<std::string>& cells) {
        if (!takeMatrixRow(row, line, cells, geo)) {
            return false;
        }
        ++row;
        return true;
    };
    if (Status rows = readRows(m_table, take); !rows) {
        return rows.error();
    }
    if (m_failure) {
        return *m_failure;
    }
    if (row != n) {
        return notSquare(static_cast<long>(row));
    }
    if (Status symmetric = checkSymmetric(geo); !symmetric) {
        return symmetric.error();
    }
    return geo;
}

bool Reader::takeMatrixRow(std::size_t row,
                           long line,
                           const std::vector<std::string>& cells,
                           Geography& geo)
{
    const std::vector<std::string>& header = m_table.header;
    const std::size_t n = header.size() - 1;
    if (!takeName(cells[0], line, geo)) {
        return false;
    }
    if (cells[0] != header[row + 1]) {
        m_failure =
            error(line,
                  "column 1",
                  "the population " + quoteFound(cells[0]) + " of row " + std::to_string(row + 1) +
                      " is not the " + quoteFound(header[row + 1]) + " of column " +
                      std::to_string(row + 2) +
                      "; the first row and the first column must name the same "
                      "populations in the same order");
        return false;
    }
    for (std::size_t c = 0; c < n; ++c) {
        const std::string& cell = cells[c + 1];
        double value = 0.0;
        if (parseCell(cell, m_table.separator, value) != CellStatus::Number ||
            !std::isfinite(value) || value < 0.0) {
            m_failure = error(line,
                              columnText(c + 1, header[c + 1]),
                              "expected a distance of 0 or more, found " + foundText(cell));
            return false;
        }
        if (c == row && value != 0.0) {
            m_failure = error(line,
                              columnText(c + 1, header[c + 1]),
                              "the distance of a population to itself must be 0, found " +
                                  quoteFound(cell));
            return false;
        }
        geo.distances(row, c) = value;
    }
    return true;
}

Status Reader::checkSymmetric(const Geography& geo) const
{
    const std::vector<std::string>& header = m_table.header;
    const std::size_t n = header.size() - 1;
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (geo.distances(i, j) != geo.distances(j, i)) {
                return error(geo.lines[i],
                             columnText(j + 1, header[j + 1]),
                             "the matrix is not symmetric: the distance between " +
                                 quoteFound(geo.names[i]) + " and " + quoteFound(geo.names[j]) +
                                 " differs from the one on line " + std::to_string(geo.lines[j]) +
                                 ", " + columnText(i + 1, header[i + 1]));
            }
        }
    }
    return Done{};
}

Result<Geography> geographyOf(const Result<CsvTable>& read)
{
    if (!read) {
        return read.error();
    }
    Reader reader(*read);
    Result<Geography> geo =
        isCoordinatesHeader(read->header) ? reader.coordinates() : reader.matrix();
    if (geo) {
        geo->path = read->path;
        geo->displayName = read->displayName;
    }
    return geo;
}

} // namespace

double greatCircleKm(double latitude1, double longitude1, double latitude2, double longitude2)
{
    constexpr double radians = std::numbers::pi / 180.0;
    const double phi1 = latitude1 * radians;
    const double phi2 = latitude2 * radians;
    const double halfDPhi = (latitude2 - latitude1) * radians / 2.0;
    const double halfDLambda = (longitude2 - longitude1) * radians / 2.0;
    const double s = portable::sin(halfDPhi);
    const double t = portable::sin(halfDLambda);
    const double a = s * s + portable::cos(phi1) * portable::cos(phi2) * t * t;
    // rounding may carry a just past 1 for points nearly opposite
    return 2.0 * earthRadiusKm * portable::asin(std::min(1.0, std::sqrt(a)));
}

Result<Geography> readGeography(const std::filesystem::path& path)
{
    return geographyOf(readCsv(path, CsvUse::Geography));
}

Result<Geography> readGeographyText(std::string text, std::string displayName)
{
    return geographyOf(readCsvText(std::move(text), std::move(displayName), CsvUse::Geography));
}

Result<Matrix> distancesFor(const Geography& geography,
                            const std::vector<std::string>& populations,
                            std::vector<std::string>& notes)
{
    std::map<std::string, std::size_t> position;
    for (std::size_t i = 0; i < geography.names.size(); ++i) {
        position.emplace(geography.names[i], i);
    }
    std::vector<std::size_t> at;
    std::vector<std::string> missing;
    std::vector<bool> used(geography.names.size(), false);
    for (const std::string& name : populations) {
        const auto found = position.find(name);
        if (found == position.end()) {
            missing.push_back(name);
        } else {
            at.push_back(found->second);
            used[found->second] = true;
        }
    }
    if (!missing.empty()) {
        return dataFileError(geography.path,
                             geography.displayName,
                             0,
                             {},
                             (missing.size() == 1 ? "no distances are given for the population "
                                                  : "no distances are given for the populations ") +
                                 quotedNameList(missing) + " of the run (the file names " +
                                 quotedNameList(geography.names) + ")");
    }
    std::vector<std::string> names; // of the file, not in the run, in file order
    for (std::size_t i = 0; i < used.size(); ++i) {
        if (!used[i]) {
            names.push_back(geography.names[i]);
        }
    }
    if (!names.empty()) {
        notes.push_back(geography.displayName + ": " + std::to_string(names.size()) +
                        (names.size() == 1 ? " population" : " populations") + " not in the run " +
                        (names.size() == 1 ? "is" : "are") + " left out: " + quotedNameList(names));
    }
    const std::size_t g = at.size();
    Matrix d(g, g);
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t j = 0; j < g; ++j) {
            d(i, j) = geography.distances(at[i], at[j]);
        }
    }
    return d;
}

} // namespace tavrik
