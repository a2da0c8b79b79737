// The Mantel test: great-circle distances of known city pairs, r and the exact p-value of a
// six-population data set against an independent program (tests/data/mantel_reference.py,
// plain Python with its own great-circle formula and every one of the 720 orders tried), the
// sampled p-value against the exact one, seeds and thread counts, and what it refuses; the
// partial test against tests/data/mantel_partial_reference.txt (see
// tools/reference/mantel_partial_reference.R).
#include "analysis/Mantel.h"

#include "datafile/GeographyFile.h"

#include <atomic>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "RunTestSupport.h"

namespace tavrik {
namespace {

using test::dataFile;

TEST(GreatCircle, MatchesKnownCityPairsAndTheSphere)
{
    struct Pair
    {
        const char* name;
        double lat1, lon1, lat2, lon2, km;
    };
    // km from mantel_reference.py, except the last three, which are pi R / 2, pi R and 0.
    const Pair pairs[] = {
        {"London-Paris", 51.5074, -0.1278, 48.8566, 2.3522, 343.556060341},
        {"New York-Los Angeles", 40.7128, -74.0060, 34.0522, -118.2437, 3935.746254610},
        {"Sydney-Santiago", -33.8688, 151.2093, -33.4489, -70.6693, 11346.715121335},
        {"Quito-Singapore", -0.1807, -78.4678, 1.3521, 103.8198, 19729.331562904},
        {"pole-equator", 90.0, 0.0, 0.0, 123.0, std::numbers::pi * 6371.0 / 2.0},
        {"antipodes", 0.0, 0.0, 0.0, 180.0, std::numbers::pi * 6371.0},
        {"same point", 12.5, -7.25, 12.5, -7.25, 0.0},
    };
    for (const Pair& p : pairs) {
        EXPECT_NEAR(greatCircleKm(p.lat1, p.lon1, p.lat2, p.lon2), p.km, 1e-6) << p.name;
        EXPECT_NEAR(greatCircleKm(p.lat2, p.lon2, p.lat1, p.lon1), p.km, 1e-6) << p.name;
    }
}

// The six populations of mantel_six_coordinates.csv with the D-square matrix of the
// reference script (two of its values tie).
MantelInput sixPopulations()
{
    Result<Geography> geo = readGeography(dataFile("mantel_six_coordinates.csv"));
    EXPECT_TRUE(geo.ok()) << (geo ? "" : geo.error().message);
    const double upper[] = {
        0.91, 0.35, 0.74, 1.12, 0.88, 1.03, 0.52, 0.47, 1.40, 0.61, 0.85, 0.74, 0.66, 0.97, 1.20};
    AnalysisResults results;
    results.populationNames = {"Aven", "Brisk", "Corran", "Dunmore", "Eskdale", "Fintry"};
    results.dSquare = Matrix(6, 6);
    std::size_t k = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        for (std::size_t j = i + 1; j < 6; ++j) {
            results.dSquare(i, j) = upper[k];
            results.dSquare(j, i) = upper[k++];
        }
    }
    Result<MantelInput> input = mantelInputFrom(results, false, *geo);
    EXPECT_TRUE(input.ok());
    return input ? *input : MantelInput{};
}

MantelResult mustRun(const MantelInput& input, const MantelSettings& settings)
{
    Result<MantelResult> res = runMantel(input, settings);
    EXPECT_TRUE(res.ok()) << (res ? "" : res.error().message);
    return res ? *res : MantelResult{};
}

// Distances, r and the exact p-value against the independent program, and the sampled p-value
// near the exact one.
TEST(Mantel, DistancesCorrelationAndPValueMatchTheIndependentProgram)
{
    const double reference[] = {37.996803500,
                                77.497995518,
                                104.638157807,
                                149.535227125,
                                141.645133047,
                                114.616968989,
                                82.834612186,
                                111.554420078,
                                169.437869277,
                                157.555681701,
                                224.924897054,
                                126.961573053,
                                104.805765874,
                                246.243727812,
                                267.481509761};
    const MantelInput input = sixPopulations();
    const std::vector<double> geo = upperTriangle(input.geographic);
    ASSERT_EQ(geo.size(), std::size(reference));
    for (std::size_t k = 0; k < geo.size(); ++k) {
        EXPECT_NEAR(geo[k], reference[k], 1e-8) << "pair " << k;
    }

    struct Case
    {
        MantelMethod method;
        double r;
        std::size_t reached; // of 720 orders
    };
    const Case cases[] = {{MantelMethod::Pearson, 0.519213733894966, 29},
                          {MantelMethod::Spearman, 0.582663324709618, 14}};
    for (const Case& c : cases) {
        MantelSettings settings;
        settings.method = c.method;
        settings.exhaustive = true;
        const MantelResult res = mustRun(input, settings);
        ASSERT_EQ(res.matrices.size(), 1u);
        EXPECT_EQ(res.permutations, 720u);
        EXPECT_NEAR(res.matrices[0].r, c.r, 1e-13);
        EXPECT_EQ(res.matrices[0].atLeast, c.reached);
        EXPECT_DOUBLE_EQ(res.matrices[0].p, static_cast<double>(c.reached) / 720.0);

        // the default 9999 permutations are more than the 720 orders: all orders are tried
        settings.exhaustive = false;
        const MantelResult automatic = mustRun(input, settings);
        EXPECT_TRUE(automatic.exhaustive);
        EXPECT_EQ(automatic.matrices.at(0).atLeast, c.reached);

        // 500 draws: the standard error of p is about 0.009 here, so 0.04 is over four of them
        settings.permutations = 500;
        const MantelResult sampled = mustRun(input, settings);
        EXPECT_FALSE(sampled.exhaustive);
        EXPECT_EQ(sampled.permutations, 500u);
        EXPECT_EQ(sampled.seed, defaultBootstrapSeed);
        const MantelMatrixResult& m = sampled.matrices.at(0);
        EXPECT_DOUBLE_EQ(m.p, static_cast<double>(m.atLeast + 1) / 501.0);
        EXPECT_NEAR(m.p, static_cast<double>(c.reached) / 720.0, 0.04);
    }
}

TEST(Mantel, SeedDecidesThePermutationsAndThreadsDoNot)
{
    MantelInput input = sixPopulations();
    // a scaled matrix too, so that two counts travel through the threads
    input.matrixNames.push_back("Scaled D-square");
    input.matrices.push_back(input.geographic);
    MantelSettings settings;
    settings.permutations = 3001; // batches of unequal size at the end
    settings.seed = 7;
    settings.threads = 1;
    const MantelResult one = mustRun(input, settings);
    for (unsigned threads : {2u, 3u, 8u}) {
        settings.threads = threads;
        const MantelResult many = mustRun(input, settings);
        for (std::size_t m = 0; m < 2; ++m) {
            EXPECT_EQ(many.matrices[m].atLeast, one.matrices[m].atLeast) << threads;
        }
    }
    // the geography against itself: r = 1, reached only by the orders that keep every distance
    EXPECT_DOUBLE_EQ(one.matrices[1].r, 1.0);
    EXPECT_LT(one.matrices[1].atLeast, 30u);

    std::vector<std::size_t> perm = mantelPermutation(7, 0, 9);
    EXPECT_NE(perm, mantelPermutation(8, 0, 9));
    EXPECT_NE(perm, mantelPermutation(7, 1, 9));
    EXPECT_EQ(perm, mantelPermutation(7, 0, 9));
    std::sort(perm.begin(), perm.end());
    for (std::size_t i = 0; i < perm.size(); ++i) {
        EXPECT_EQ(perm[i], i);
    }
}

TEST(Mantel, RefusesWhatItCannotCorrelate)
{
    MantelInput few = sixPopulations();
    few.populations.resize(2);
    few.geographic = Matrix(2, 2, 1.0);
    few.matrices[0] = Matrix(2, 2, 1.0);
    Result<MantelResult> res = runMantel(few, {});
    ASSERT_FALSE(res.ok());
    EXPECT_NE(res.error().message.find("at least 3 populations"), std::string::npos);

    MantelInput flat = sixPopulations();
    flat.geographic = Matrix(6, 6, 5.0);
    res = runMantel(flat, {});
    ASSERT_FALSE(res.ok());
    EXPECT_NE(res.error().message.find("every geographic distance"), std::string::npos);

    MantelInput many = sixPopulations();
    many.populations.resize(10, "X");
    many.geographic = Matrix(10, 10, 1.0);
    many.geographic(0, 1) = many.geographic(1, 0) = 2.0;
    many.matrices[0] = many.geographic;
    MantelSettings all;
    all.exhaustive = true;
    res = runMantel(many, all);
    ASSERT_FALSE(res.ok());
    EXPECT_NE(res.error().message.find("at most 9 populations"), std::string::npos);
}

// Each case of the reference file: matrices A, B and C (A against B, C held constant), the
// other implementation's plain and partial r and, up to 7 populations, its exact count.
TEST(PartialMantel, AgreesWithAnIndependentImplementation)
{
    std::ifstream in(std::string(TAVRIK_TEST_DATA) + "/mantel_partial_reference.txt");
    ASSERT_TRUE(in) << "mantel_partial_reference.txt";
    std::map<std::string, std::vector<std::vector<double>>> rows;
    std::string name;
    std::string method;
    std::string side;
    double plain = 0.0;
    double partial = 0.0;
    std::size_t reached = 0;
    std::size_t orders = 0;
    int cases = 0;
    const auto square = [](const std::vector<std::vector<double>>& r) {
        Matrix m(r.size(), r.size());
        for (std::size_t i = 0; i < r.size(); ++i) {
            for (std::size_t j = 0; j < r.size(); ++j) {
                m(i, j) = r[i].at(j);
            }
        }
        return m;
    };
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "case") {
            words >> name >> method >> side;
            rows.clear();
            orders = 0;
        } else if (word == "A" || word == "B" || word == "C") {
            rows[word].emplace_back(std::istream_iterator<double>(words),
                                    std::istream_iterator<double>());
        } else if (word == "plain") {
            words >> plain;
        } else if (word == "partial") {
            words >> partial;
        } else if (word == "exact") {
            words >> reached >> orders;
        } else if (word == "end") {
            SCOPED_TRACE(name);
            ++cases;
            const std::size_t g = rows["A"].size();
            MantelInput input;
            for (std::size_t i = 0; i < g; ++i) {
                input.populations.push_back("P" + std::to_string(i + 1));
            }
            input.matrixNames = {"D-square"};
            input.matrices = {square(rows["A"])};
            input.geographic = square(rows["B"]);
            input.control = MantelControl{square(rows["C"]), "control.csv", false};
            MantelSettings settings;
            settings.method = method == "spearman" ? MantelMethod::Spearman : MantelMethod::Pearson;
            settings.alternative =
                side == "two-sided" ? MantelAlternative::TwoSided : MantelAlternative::Greater;
            settings.exhaustive = orders != 0;
            settings.permutations = 199;
            const MantelResult res = mustRun(input, settings);
            const MantelMatrixResult& m = res.matrices.at(0);
            ASSERT_TRUE(m.partial.has_value());
            EXPECT_NEAR(m.r, plain, 1e-13);
            // the "control" case divides by sqrt(1 - 0.9999^2): rounding grows a hundredfold
            EXPECT_NEAR(m.partial->r, partial, 1e-11);
            EXPECT_EQ(res.control, upperTriangle(input.control->distances));
            if (orders != 0) {
                EXPECT_EQ(res.permutations, orders);
                EXPECT_EQ(m.partial->atLeast, reached);
                EXPECT_DOUBLE_EQ(m.partial->p, static_cast<double>(reached) / orders);
            } else {
                EXPECT_DOUBLE_EQ(m.partial->p, (m.partial->atLeast + 1) / 200.0);
            }
        }
    }
    EXPECT_EQ(cases, 4);
}

// The partial test adds its counts to the plain ones without changing them, draws the same
// permutations on any number of threads, and refuses a control that leaves nothing to test.
TEST(PartialMantel, KeepsThePlainTestAndRefusesACollinearControl)
{
    MantelInput input = sixPopulations();
    input.matrixNames.push_back("Scaled D-square");
    input.matrices.push_back(input.matrices[0]);
    input.matrices[1](0, 1) = input.matrices[1](1, 0) = input.matrices[0](0, 1) * 3.0;
    MantelSettings settings;
    settings.permutations = 3001;
    settings.threads = 1;
    const MantelResult plain = mustRun(input, settings);
    Matrix control = input.geographic;
    for (std::size_t i = 0; i < 6; ++i) {
        for (std::size_t j = 0; j < 6; ++j) {
            control(i, j) = std::sqrt(input.geographic(i, j)) + static_cast<double>((i * j) % 4);
        }
    }
    input.control = MantelControl{control, "time.csv", false};
    const MantelResult one = mustRun(input, settings);
    for (unsigned threads : {2u, 3u}) {
        settings.threads = threads;
        const MantelResult many = mustRun(input, settings);
        for (std::size_t m = 0; m < 2; ++m) {
            EXPECT_EQ(many.matrices[m].partial->atLeast, one.matrices[m].partial->atLeast);
        }
    }
    for (std::size_t m = 0; m < 2; ++m) {
        EXPECT_EQ(one.matrices[m].r, plain.matrices[m].r);
        EXPECT_EQ(one.matrices[m].atLeast, plain.matrices[m].atLeast);
        EXPECT_FALSE(plain.matrices[m].partial.has_value());
        EXPECT_NE(one.matrices[m].partial->atLeast, one.matrices[m].atLeast);
    }
    EXPECT_EQ(one.controlName, "time.csv");
    EXPECT_NEAR(
        one.rGeographicControl, pearsonCorrelation(one.geographic, upperTriangle(control)), 0.0);

    // the geography as its own control, in another unit: r(AB.C) is 0 / 0
    input.control->distances = input.geographic;
    for (std::size_t i = 0; i < 6; ++i) {
        for (std::size_t j = 0; j < 6; ++j) {
            input.control->distances(i, j) *= 0.621371;
        }
    }
    Result<MantelResult> res = runMantel(input, settings);
    ASSERT_FALSE(res.ok());
    EXPECT_NE(res.error().message.find("the geographic distances and the control distances in "
                                       "time.csv are perfectly correlated (r = 1.000000)"),
              std::string::npos)
        << res.error().message;
    // the D-square matrix as the control
    input.control->distances = input.matrices[0];
    res = runMantel(input, settings);
    ASSERT_FALSE(res.ok());
    EXPECT_NE(res.error().message.find("the D-square distances and the control"), std::string::npos)
        << res.error().message;
    input.control->distances = Matrix(6, 6, 2.0);
    res = runMantel(input, settings);
    ASSERT_FALSE(res.ok());
    EXPECT_NE(res.error().message.find("every control distance in time.csv"), std::string::npos)
        << res.error().message;
}

TEST(Mantel, ReportsItsPermutationsAndStopsWhenCancelled)
{
    class Sink final : public ProgressSink
    {
    public:
        void status(std::string_view) override {}
        bool cancelled() const override { return m_steps.load() >= 2; }
        void stepProgress(std::uint64_t done, std::uint64_t total) override
        {
            ++m_steps;
            m_lastDone = done;
            m_total = total;
        }
        std::atomic<int> m_steps{0};
        std::uint64_t m_lastDone = 0;
        std::uint64_t m_total = 0;
    };
    // six populations and more permutations than orders: the 720 orders are tried, and the
    // test stops at the third poll
    const MantelInput input = sixPopulations();
    MantelSettings settings;
    settings.permutations = 100000;
    settings.threads = 2;
    Sink sink;
    Result<MantelResult> res = runMantel(input, settings, sink);
    ASSERT_FALSE(res.ok());
    EXPECT_EQ(res.error().kind, ErrorKind::Cancelled);
    EXPECT_LT(sink.m_lastDone, 720u);
    EXPECT_EQ(sink.m_total, 720u);
}

TEST(Mantel, InputFromARunFollowsTheRunsOrderAndNotesExtraNames)
{
    Result<Geography> geo = readGeographyText(",Fintry,Aven,Brisk,Corran\n"
                                              "Fintry,0,4,7,9\n"
                                              "Aven,4,0,2,5\n"
                                              "Brisk,7,2,0,3\n"
                                              "Corran,9,5,3,0\n",
                                              "km.csv");
    ASSERT_TRUE(geo.ok()) << geo.error().message;
    AnalysisResults results;
    results.populationNames = {"Aven", "Brisk", "Fintry"};
    results.dSquare = Matrix(3, 3, 1.0);
    results.scaledDSquare = Matrix(3, 3, 2.0);
    Result<MantelInput> input = mantelInputFrom(results, true, *geo);
    ASSERT_TRUE(input.ok()) << input.error().message;
    EXPECT_EQ(upperTriangle(input->geographic), (std::vector<double>{2.0, 4.0, 7.0}));
    EXPECT_EQ(input->matrixNames, (std::vector<std::string>{"D-square", "Scaled D-square"}));
    EXPECT_FALSE(input->greatCircle);
    ASSERT_EQ(input->notes.size(), 1u);
    EXPECT_EQ(input->notes[0], "km.csv: 1 population not in the run is left out: \"Corran\"");
}

} // namespace
} // namespace tavrik
