// The geography file of the Mantel test: both forms read, every error it defines with its line
// and column, and the matching of its names to the run's populations.
#include "datafile/GeographyFile.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tavrik {
namespace {

Geography mustRead(const std::string& text)
{
    Result<Geography> geo = readGeographyText(text, "geo.csv");
    EXPECT_TRUE(geo.ok()) << (geo ? "" : geo.error().message);
    return geo ? *geo : Geography{};
}

TEST(GeographyFile, ReadsCoordinatesAsGreatCircleKilometres)
{
    // semicolons with decimal commas, as a spreadsheet in many countries writes them
    const Geography geo =
        mustRead("Site;LAT;Lng\r\nLondon;51,5074;-0,1278\r\n"
                 "Paris;48,8566;2,3522\r\n\"Quito, old town\";-0,1807;-78,4678\r\n");
    EXPECT_EQ(geo.kind, GeographyKind::Coordinates);
    EXPECT_EQ(geo.names, (std::vector<std::string>{"London", "Paris", "Quito, old town"}));
    EXPECT_EQ(geo.lines, (std::vector<long>{2, 3, 4}));
    EXPECT_NEAR(geo.distances(0, 1), 343.556060341, 1e-6); // mantel_reference.py
    EXPECT_EQ(geo.distances(1, 0), geo.distances(0, 1));
    EXPECT_EQ(geo.distances(2, 2), 0.0);
}

TEST(GeographyFile, ReadsASquareMatrixInItsOwnUnit)
{
    const Geography geo = mustRead(",A,B,C\nA,0,1.5,2\nB,1.5,0,30\nC,2,30,0\n");
    EXPECT_EQ(geo.kind, GeographyKind::DistanceMatrix);
    EXPECT_EQ(geo.names, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(geo.distances(1, 2), 30.0);
    EXPECT_EQ(geo.distances(2, 0), 2.0);
}

TEST(GeographyFile, EveryErrorNamesItsLineAndColumn)
{
    struct Case
    {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"pop,lat,lon\nA,51.5,0\nB,95.2,1\n",
         "geo.csv, line 3, column 2 (lat): expected a latitude in decimal degrees from -90 to 90, "
         "found \"95.2\""},
        {"pop,lat,lon\nA,51.5,0\nB,40,-180.5\n",
         "geo.csv, line 3, column 3 (lon): expected a longitude in decimal degrees from -180 to "
         "180, found \"-180.5\""},
        {"pop,latitude,longitude\nA,5l.5,0\n",
         "geo.csv, line 2, column 2 (latitude): expected a latitude in decimal degrees from -90 "
         "to 90, found \"5l.5\""},
        {"pop,latitude,longitude\nA,,0\n",
         "geo.csv, line 2, column 2 (latitude): expected a latitude in decimal degrees from -90 "
         "to 90, found an empty field"},
        {"pop,latitude,longitude\nA,1,2\n\nA,3,4\n",
         "geo.csv, line 4, column 1: population \"A\" was already given on line 2"},
        {"pop,latitude,longitude\n,1,2\n", "geo.csv, line 2, column 1: no population name"},
        {"pop,latitude,longitude\n", "geo.csv: no populations are given below the header row"},
        {"A,51.5,0\nB,48.9,2.4\nC,40,3\n",
         "geo.csv, line 1: expected a header row: population,latitude,longitude for "
         "coordinates, or the names of the populations for a distance matrix; found \"51.5\" "
         "in column 2"},
        {",A,B,C\nA,0,1,2\nB,1,0,3\n",
         "geo.csv: expected either a header row population,latitude,longitude or a square "
         "matrix of distances; the first row names 3 populations but 2 rows follow"},
        {",A,B\nA,0,1\nB,2,0\n",
         "geo.csv, line 3, column 2 (A): the matrix is not symmetric: the distance between "
         "\"B\" and \"A\" differs from the one on line 2, column 3 (B)"},
        {",A,B\nA,0,1\nB,1,0.5\n",
         "geo.csv, line 3, column 3 (B): the distance of a population to itself must be 0, "
         "found \"0.5\""},
        {",A,B\nA,0,-1\nB,-1,0\n",
         "geo.csv, line 2, column 3 (B): expected a distance of 0 or more, found \"-1\""},
        {",A,B\nB,0,1\nA,1,0\n",
         "geo.csv, line 2, column 1: the population \"B\" of row 1 is not the \"A\" of column 2"},
        {",A,A\nA,0,1\nA,1,0\n",
         "geo.csv, line 3, column 1: population \"A\" was already given on line 2"},
        {"pop,lat,lon\nA\x01,1,2\n",
         "geo.csv, line 2, column 1: holds control characters, so the file is not a CSV text "
         "file; save the table as CSV (comma- or semicolon-separated values) and use that as the "
         "geography file"},
    };
    for (const Case& c : cases) {
        Result<Geography> geo = readGeographyText(c.text, "geo.csv");
        ASSERT_FALSE(geo.ok()) << c.text;
        EXPECT_NE(geo.error().message.find(c.message), std::string::npos)
            << c.text << "\n  gave: " << geo.error().message;
        EXPECT_EQ(geo.error().kind, ErrorKind::DataFile);
    }
}

TEST(GeographyFile, MissingPopulationsAreListedAndExtraOnesNoted)
{
    const Geography geo = mustRead("pop,lat,lon\nA,1,1\nB,2,2\nC,3,3\nD,4,4\n");
    std::vector<std::string> notes;
    Result<Matrix> d = distancesFor(geo, {"C", "A"}, notes);
    ASSERT_TRUE(d.ok());
    EXPECT_EQ(d->rows(), 2u);
    EXPECT_EQ((*d)(0, 1), geo.distances(2, 0)); // the run's order
    EXPECT_EQ(notes,
              (std::vector<std::string>{
                  "geo.csv: 2 populations not in the run are left out: \"B\", \"D\""}));

    notes.clear();
    d = distancesFor(geo, {"A", "P1", "P2", "B", "P3", "P4", "P5", "P6", "P\x1b[2J"}, notes);
    ASSERT_FALSE(d.ok());
    EXPECT_EQ(d.error().message,
              "geo.csv: no distances are given for the populations \"P1\", \"P2\", \"P3\", "
              "\"P4\", \"P5\" and 2 more of the run (the file names \"A\", \"B\", \"C\", \"D\")");
    EXPECT_TRUE(notes.empty());

    d = distancesFor(geo, {"A", "E\x1b"}, notes);
    ASSERT_FALSE(d.ok());
    EXPECT_NE(d.error().message.find("population \"E\\x1B\" of the run"), std::string::npos)
        << d.error().message;
}

} // namespace
} // namespace tavrik
