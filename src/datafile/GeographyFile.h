// Where the populations live, for the Mantel test: a CSV file of population, latitude and
// longitude (decimal degrees), or a CSV square matrix of distances with the population names
// along its first row and first column. Either way the file ends up as a matrix of distances
// between the populations it names. Indices are 0-based; messages count lines and columns from 1.
#pragma once

#include "state/Matrix.h"
#include "state/Result.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tavrik {

inline constexpr double earthRadiusKm = 6371.0;

// The great-circle distance in km between two points given in decimal degrees, on a sphere
// of radius earthRadiusKm (the haversine formula, which stays accurate for close points).
double greatCircleKm(double latitude1, double longitude1, double latitude2, double longitude2);

enum class GeographyKind { Coordinates, DistanceMatrix };

struct Geography
{
    GeographyKind kind = GeographyKind::Coordinates;
    std::string path;               // for Error::path
    std::string displayName;        // the file name that messages show
    std::vector<std::string> names; // file order
    std::vector<long> lines;        // 1-based line of each name's row
    // Coordinates: great-circle distances in km; a matrix: the distances as given, in the
    // file's own unit.
    Matrix distances;
};

// A file is a coordinates file when its header row is population, latitude, longitude (the
// last two in any case, also lat and lon, long or lng); anything else must be a square,
// symmetric matrix of distances of 0 or more with a zero diagonal, whose first row and first
// column name the same populations in the same order. Names must be unique and not empty,
// latitudes lie in [-90, 90] and longitudes in [-180, 180]. Errors name the line and column.
[[nodiscard]] Result<Geography> readGeography(const std::filesystem::path& path);
// The same for bytes held in memory; displayName stands for the file in messages.
[[nodiscard]] Result<Geography> readGeographyText(std::string text, std::string displayName);

// The distances between the given populations, in their order, matched by exact name. A
// population that the file does not name is an error listing every such name; names of the
// file that are not among populations are left out, and a note for the user says which.
[[nodiscard]] Result<Matrix> distancesFor(const Geography& geography,
                                          const std::vector<std::string>& populations,
                                          std::vector<std::string>& notes);

} // namespace tavrik
