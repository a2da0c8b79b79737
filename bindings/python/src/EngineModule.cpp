// tavrik._engine: the engine for Python. The module tavrik wraps it; here the data cross from
// Python to the engine and the results back, as numpy arrays and plain values, every double
// unchanged. Errors become the exceptions of tavrik._errors with the engine's messages.
#include "export/ResamplingText.h"
#include "state/Version.h"

#include <cstdlib>
#include <optional>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <string>
#include <vector>

#include "tavrik/tavrik.h"

namespace py = pybind11;

namespace tavrik {
namespace {

// Raises the exception of the error's kind: DataError for what the data or the choice make
// impossible, AnalysisError for data that were read but cannot be analysed.
[[noreturn]] void raise(const Error& error)
{
    const py::module_ errors = py::module_::import("tavrik._errors");
    const char* name = "Error";
    switch (error.kind) {
    case ErrorKind::Usage:
    case ErrorKind::DataFile:
    case ErrorKind::Io:
        name = "DataError";
        break;
    case ErrorKind::Analysis:
        name = "AnalysisError";
        break;
    case ErrorKind::Cancelled:
        break;
    }
    const py::object type = errors.attr(name);
    py::object exception = type(error.message);
    exception.attr("path") = error.path.empty() ? py::object(py::none()) : py::str(error.path);
    exception.attr("line") = error.line == 0 ? py::object(py::none()) : py::int_(error.line);
    exception.attr("field") = error.field.empty() ? py::object(py::none()) : py::str(error.field);
    PyErr_SetObject(type.ptr(), exception.ptr());
    throw py::error_already_set();
}

template <typename T> T take(Result<T>&& result)
{
    if (!result) {
        raise(result.error());
    }
    return std::move(*result);
}

// The report's date, as tavrik-batch takes it: SOURCE_DATE_EPOCH when set, else now.
Clock reportClock()
{
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (epoch == nullptr) {
        return systemClock();
    }
    return take(sourceDateClock(epoch));
}

// Calls the engine without the interpreter's lock, so that other Python threads go on.
template <typename Call> auto unlocked(Call call)
{
    py::gil_scoped_release released;
    return call();
}

py::array_t<double> vectorArray(const std::vector<double>& values)
{
    return py::array_t<double>(static_cast<py::ssize_t>(values.size()), values.data());
}

// The upper-left rows x cols block of m.
py::array_t<double> matrixArray(const Matrix& m, std::size_t rowCount, std::size_t colCount)
{
    py::array_t<double> out({rowCount, colCount});
    auto at = out.mutable_unchecked<2>();
    for (std::size_t i = 0; i < rowCount; ++i) {
        for (std::size_t j = 0; j < colCount; ++j) {
            at(i, j) = m(i, j);
        }
    }
    return out;
}

// A standard-error matrix the run fills above the diagonal only, mirrored, with its diagonal.
py::array_t<double> symmetricArray(const Matrix& upper, const std::vector<double>& diagonal)
{
    const std::size_t g = diagonal.size();
    py::array_t<double> out({g, g});
    auto at = out.mutable_unchecked<2>();
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t j = 0; j < g; ++j) {
            at(i, j) = i == j ? diagonal[i] : upper(std::min(i, j), std::max(i, j));
        }
    }
    return out;
}

EngineChoice
choiceOf(double heritability, bool biasCorrection, bool scaled, std::vector<std::string> variables)
{
    EngineChoice choice;
    choice.heritability = heritability;
    choice.biasCorrection = biasCorrection;
    choice.scaled = scaled;
    choice.variables = std::move(variables);
    return choice;
}

TableData tableOf(
    std::string name,
    std::string title,
    std::vector<std::string> population,
    std::vector<std::string> populations,
    std::vector<double> census,
    std::vector<std::string> variableNames,
    const std::vector<py::array_t<double, py::array::c_style | py::array::forcecast>>& variables)
{
    TableData table;
    table.name = std::move(name);
    table.title = std::move(title);
    table.population = std::move(population);
    table.populations = std::move(populations);
    table.census = std::move(census);
    table.variableNames = std::move(variableNames);
    for (const auto& column : variables) {
        if (column.ndim() != 1) {
            throw py::value_error("a variable's values must be one-dimensional");
        }
        table.variables.emplace_back(column.data(), column.data() + column.size());
    }
    return table;
}

py::dict resultsOf(const EngineRun& run)
{
    const AnalysisResults& res = run.results();
    const RunBasis& basis = run.output.basis;
    const std::size_t g = res.populationNames.size();
    py::dict d;
    d["populations"] = res.populationNames;
    d["variables"] = basis.setup.varNames;
    d["R"] = matrixArray(res.rMatrix, g, g);
    d["R_se"] = symmetricArray(basis.seR, basis.seDiagonal);
    d["R_uncorrected_diagonal"] = vectorArray(basis.uncorrectedDiagonal);
    d["D2"] = matrixArray(res.dSquare, g, g);
    d["D2_se"] = symmetricArray(basis.seDSquare, std::vector<double>(g, 0.0));
    d["eigenvalues"] = vectorArray(res.eigenvalues);
    d["eigenvalues_listed"] = res.eigenvaluesListed;
    d["shares"] = vectorArray(res.pcShares);
    d["scores"] = matrixArray(res.pcScores, g, 2);
    d["scaled"] = run.scaled();
    if (run.scaled()) {
        d["R_scaled"] = matrixArray(res.scaledRMatrix, g, g);
        d["D2_scaled"] = matrixArray(res.scaledDSquare, g, g);
        d["scaled_eigenvalues"] = vectorArray(res.scaledEigenvalues);
        d["scaled_eigenvalues_listed"] = res.scaledEigenvaluesListed;
        d["scaled_shares"] = vectorArray(res.scaledPcShares);
        d["scaled_scores"] = matrixArray(res.scaledPcScores, g, 2);
    }
    d["n"] = vectorArray(basis.passes.sampleSizes);
    d["left_out"] = vectorArray(basis.passes.leftOut);
    d["total_n"] = basis.passes.totalSampleSize;
    d["weights"] = vectorArray(basis.setup.popWeights);
    std::vector<double> census(basis.popSizes.begin(), basis.popSizes.end());
    d["census"] = vectorArray(census);
    d["grand_means"] = vectorArray(basis.passes.grandMeans);
    d["total_variances"] = vectorArray(basis.passes.totalVariances);
    d["fst"] = basis.fst;
    d["fst_unbiased"] =
        basis.biasCorrection ? py::object(py::float_(basis.fstUnbiased)) : py::object(py::none());
    d["fst_se"] = basis.fstSe;
    d["observed_variance"] = vectorArray(res.observedVariance);
    d["expected_variance"] = vectorArray(res.expectedVariance);
    d["residual_variance"] = vectorArray(res.residualVariance);
    d["mean_within_variance"] = basis.passes.meanWithinVariance;
    d["heritability"] = static_cast<double>(basis.heritability);
    d["bias_correction"] = basis.biasCorrection;
    d["title"] = basis.dataTitle;
    d["name"] = run.input.dataSet.dataPath;
    return d;
}

py::dict sweepRows(const SweepTable& sweep)
{
    std::vector<double> heritability, fst, unbiased, se;
    std::vector<std::vector<double>> diagonal(sweep.popNames.size());
    for (const SweepRow& row : sweep.rows) {
        heritability.push_back(static_cast<double>(row.point.heritability));
        fst.push_back(row.fst);
        unbiased.push_back(row.fstUnbiased);
        se.push_back(row.fstSe);
        for (std::size_t i = 0; i < diagonal.size(); ++i) {
            diagonal[i].push_back(row.rDiagonal[i]);
        }
    }
    py::dict d;
    d["heritability"] = vectorArray(heritability);
    d["fst"] = vectorArray(fst);
    d["fst_unbiased"] = vectorArray(unbiased);
    d["fst_se"] = vectorArray(se);
    py::list columns;
    for (const auto& column : diagonal) {
        columns.append(vectorArray(column));
    }
    d["r_diagonal"] = columns;
    d["populations"] = sweep.popNames;
    d["bias_correction"] = sweep.biasCorrection;
    return d;
}

py::dict bootstrapRows(const BootstrapResult& boot)
{
    py::dict d;
    py::list statistic, population, population2;
    std::vector<double> estimate, analyticSe, mean, bias, se, lower, upper;
    for (const BootstrapStatistic& s : boot.statistics) {
        statistic.append(statisticName(s.kind));
        population.append(s.population.empty() ? py::object(py::none()) : py::str(s.population));
        population2.append(s.population2.empty() ? py::object(py::none()) : py::str(s.population2));
        estimate.push_back(s.estimate);
        analyticSe.push_back(s.analyticSe);
        mean.push_back(s.bootstrapMean);
        bias.push_back(s.bias);
        se.push_back(s.bootstrapSe);
        lower.push_back(s.lower);
        upper.push_back(s.upper);
    }
    d["statistic"] = statistic;
    d["population"] = population;
    d["population2"] = population2;
    d["estimate"] = vectorArray(estimate);
    d["analytic_se"] = vectorArray(analyticSe);
    d["bootstrap_mean"] = vectorArray(mean);
    d["bias"] = vectorArray(bias);
    d["bootstrap_se"] = vectorArray(se);
    d["lower"] = vectorArray(lower);
    d["upper"] = vectorArray(upper);
    d["seed"] = boot.seed;
    d["replicates"] = boot.replicates;
    d["used"] = boot.used;
    d["interval"] = intervalKeyword(boot.interval);
    d["report"] = bootstrapSummaryText(boot);
    return d;
}

py::dict mantelRows(const MantelResult& m)
{
    py::list matrix, partialR, partialP;
    std::vector<double> r, p;
    for (const MantelMatrixResult& one : m.matrices) {
        matrix.append(one.name);
        r.push_back(one.r);
        p.push_back(one.p);
        partialR.append(one.partial ? py::object(py::float_(one.partial->r))
                                    : py::object(py::none()));
        partialP.append(one.partial ? py::object(py::float_(one.partial->p))
                                    : py::object(py::none()));
    }
    py::dict d;
    d["matrix"] = matrix;
    d["r"] = vectorArray(r);
    d["p"] = vectorArray(p);
    d["partial_r"] = partialR;
    d["partial_p"] = partialP;
    d["permutations"] = m.permutations;
    d["notes"] = m.notes;
    d["report"] = mantelSummaryText(m);
    return d;
}

Geography geographyOf(const std::string& source, bool isText, const std::string& name)
{
    if (isText) {
        return take(readGeographyText(source, name));
    }
    return take(readGeography(source));
}

IntervalKind intervalOf(const std::string& keyword)
{
    for (const IntervalKind kind :
         {IntervalKind::Percentile, IntervalKind::Basic, IntervalKind::Bca}) {
        if (intervalKeyword(kind) == keyword) {
            return kind;
        }
    }
    raise(Error::usage("the interval must be \"percentile\", \"basic\" or \"bca\", not \"" +
                           keyword + "\"",
                       {},
                       0,
                       "interval"));
}

} // namespace
} // namespace tavrik

PYBIND11_MODULE(_engine, m)
{
    using namespace tavrik;
    m.doc() = "TAVRIK's engine; use the module tavrik, which wraps it.";
    m.attr("version") = programVersion;
    m.attr("default_seed") = defaultBootstrapSeed;
    m.attr("default_permutations") = defaultMantelPermutations;

    py::class_<EngineRun>(m, "Run", "One finished analysis run.")
        .def("results", &resultsOf, "Every number of the run, as a dict.")
        .def_property_readonly(
            "report", [](const EngineRun& r) { return r.report(); }, "The report text.")
        .def_property_readonly(
            "listing", [](const EngineRun& r) { return r.listing(); }, "The matrix listing.");
    py::class_<SweepTable>(m, "Sweep", "A heritability sweep.")
        .def("rows", &sweepRows, "Its values, as a dict of columns.");
    py::class_<BootstrapResult>(m, "Bootstrap", "A bootstrap of a run's records.")
        .def("rows", &bootstrapRows, "Its statistics, as a dict of columns.");
    py::class_<MantelResult>(m, "Mantel", "A Mantel test.")
        .def("rows", &mantelRows, "Its results, as a dict.");

    m.def(
        "run_table",
        [](std::string name,
           std::string title,
           std::vector<std::string> population,
           std::vector<std::string> populations,
           std::vector<double> census,
           std::vector<std::string> variableNames,
           const std::vector<py::array_t<double, py::array::c_style | py::array::forcecast>>&
               variables,
           double heritability,
           bool biasCorrection,
           bool scaled,
           std::vector<std::string> chosen) {
            TableData table = tableOf(std::move(name),
                                      std::move(title),
                                      std::move(population),
                                      std::move(populations),
                                      std::move(census),
                                      std::move(variableNames),
                                      variables);
            const EngineChoice choice =
                choiceOf(heritability, biasCorrection, scaled, std::move(chosen));
            const Clock clock = reportClock();
            return take(unlocked([&] { return runTable(table, choice, clock); }));
        },
        "Runs the analysis of a table of columns.");
    m.def(
        "run_file",
        [](const std::string& path,
           double heritability,
           bool biasCorrection,
           bool scaled,
           std::vector<std::string> chosen) {
            const EngineChoice choice =
                choiceOf(heritability, biasCorrection, scaled, std::move(chosen));
            const Clock clock = reportClock();
            return take(unlocked([&] { return runFile(path, choice, clock); }));
        },
        "Runs the analysis of a .tvk file.");
    m.def(
        "read_table",
        [](const std::string& path) {
            TableData table = take(readTable(path));
            py::list columns;
            for (const std::vector<double>& column : table.variables) {
                columns.append(vectorArray(column));
            }
            return py::make_tuple(table.name,
                                  table.title,
                                  table.population,
                                  table.populations,
                                  table.census,
                                  table.variableNames,
                                  columns);
        },
        "Reads a .tvk file: (name, title, population of each record, populations, census "
        "sizes, variable names, columns).");
    m.def(
        "table_text",
        [](std::string name,
           std::string title,
           std::vector<std::string> population,
           std::vector<std::string> populations,
           std::vector<double> census,
           std::vector<std::string> variableNames,
           const std::vector<py::array_t<double, py::array::c_style | py::array::forcecast>>&
               variables) {
            return take(tableFileText(tableOf(std::move(name),
                                              std::move(title),
                                              std::move(population),
                                              std::move(populations),
                                              std::move(census),
                                              std::move(variableNames),
                                              variables)));
        },
        "The .tvk text of a table.");
    m.def(
        "sweep",
        [](const EngineRun& run, const std::string& range) { return take(sweepOf(run, range)); },
        "The heritability sweep of a run over FROM:TO:STEP.");
    m.def(
        "bootstrap",
        [](const EngineRun& run,
           std::size_t replicates,
           std::uint64_t seed,
           const std::string& interval) {
            const IntervalKind kind = intervalOf(interval);
            return take(unlocked([&] { return bootstrapOf(run, replicates, seed, kind); }));
        },
        "The bootstrap of a run's records.");
    m.def(
        "mantel",
        [](const EngineRun& run,
           const std::string& geography,
           bool geographyIsText,
           std::optional<std::string> control,
           bool controlIsText,
           bool spearman,
           std::size_t permutations,
           bool exhaustive,
           bool twoSided,
           std::uint64_t seed) {
            const Geography geo = geographyOf(geography, geographyIsText, "geography");
            std::optional<Geography> held;
            if (control) {
                held = geographyOf(*control, controlIsText, "control");
            }
            MantelSettings settings;
            settings.method = spearman ? MantelMethod::Spearman : MantelMethod::Pearson;
            settings.permutations = permutations;
            settings.exhaustive = exhaustive;
            settings.alternative =
                twoSided ? MantelAlternative::TwoSided : MantelAlternative::Greater;
            settings.seed = seed;
            return take(
                unlocked([&] { return mantelOf(run, geo, held ? &*held : nullptr, settings); }));
        },
        "The Mantel test of a run's distances against a geography (a path or CSV text).");
    m.def(
        "tree",
        [](const EngineRun& run, bool scaled, const BootstrapResult* boot) {
            const TreeRun tree = take(treeOf(run, scaled, boot));
            return py::make_tuple(newickText(tree.tree), treeSupportText(tree), tree.matrixName);
        },
        py::arg("run"),
        py::arg("scaled"),
        py::arg("bootstrap").none(true),
        "The neighbor-joining tree of a run: (Newick text, report text, matrix name).");
    m.def(
        "json",
        [](const EngineRun& run,
           const SweepTable* sweep,
           const BootstrapResult* boot,
           const MantelResult* mantel) { return engineJson(run, sweep, boot, mantel); },
        py::arg("run"),
        py::arg("sweep").none(true),
        py::arg("bootstrap").none(true),
        py::arg("mantel").none(true),
        "The results document of a run, with whichever analyses are given.");
}
