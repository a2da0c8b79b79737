// The package's side of the engine: R vectors in, the engine's results out as R vectors,
// matrices and lists. A run stays alive in an external pointer inside the "tavrik" object, so
// that the sweep, bootstrap, Mantel test and tree work on the very run the user holds.
// Errors become R errors carrying the engine's message.
#include "export/ResamplingText.h"

#include <Rcpp.h>
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tavrik/tavrik.h"

namespace {

// A bootstrap and the run it resampled; the R object holding it also holds the run.
struct BootstrapHold
{
    const tavrik::EngineRun* run = nullptr;
    tavrik::BootstrapResult result;
};

using RunPtr = Rcpp::XPtr<tavrik::EngineRun>;
using BootstrapPtr = Rcpp::XPtr<BootstrapHold>;

template <typename T> [[noreturn]] void fail(const tavrik::Result<T>& r)
{
    Rcpp::stop(r.error().message);
}

const tavrik::EngineRun& heldRun(SEXP pointer)
{
    RunPtr run(pointer);
    if (run.get() == nullptr) {
        Rcpp::stop("this result no longer holds its run (it was saved and loaded again); "
                   "run tavrik() again");
    }
    return *run;
}

std::vector<std::string> strings(const Rcpp::CharacterVector& v)
{
    return Rcpp::as<std::vector<std::string>>(v);
}

Rcpp::CharacterVector names(const std::vector<std::string>& v)
{
    Rcpp::CharacterVector out(v.begin(), v.end());
    for (R_xlen_t i = 0; i < out.size(); ++i) {
        out[i] = Rf_mkCharCE(v[static_cast<std::size_t>(i)].c_str(), CE_UTF8);
    }
    return out;
}

Rcpp::NumericVector named(const std::vector<double>& values, const std::vector<std::string>& by)
{
    Rcpp::NumericVector out(values.begin(), values.end());
    out.names() = names(by);
    return out;
}

Rcpp::String utf8(const std::string& text)
{
    return Rcpp::String(text, CE_UTF8);
}

// The upper-left g x g block of m, or when upper is set its values above the diagonal mirrored
// below it around the given diagonal; dimnames the populations.
Rcpp::NumericMatrix matrixOf(const tavrik::Matrix& m,
                             const std::vector<std::string>& pops,
                             std::size_t cols = 0,
                             const std::vector<double>* diagonal = nullptr)
{
    const std::size_t g = pops.size();
    const std::size_t c = cols == 0 ? g : cols;
    Rcpp::NumericMatrix out(static_cast<int>(g), static_cast<int>(c));
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t j = 0; j < c; ++j) {
            double v = 0.0;
            if (diagonal == nullptr) {
                v = m(i, j);
            } else {
                v = i == j ? (*diagonal)[i] : m(std::min(i, j), std::max(i, j));
            }
            out(static_cast<int>(i), static_cast<int>(j)) = v;
        }
    }
    Rcpp::CharacterVector colNames =
        cols == 0 ? names(pops) : Rcpp::CharacterVector::create("I", "II");
    out.attr("dimnames") = Rcpp::List::create(names(pops), colNames);
    return out;
}

Rcpp::List principalCoordinates(const std::vector<double>& eigenvalues,
                                std::int16_t listed,
                                const std::vector<double>& shares,
                                const tavrik::Matrix& scores,
                                const std::vector<std::string>& pops)
{
    return Rcpp::List::create(Rcpp::Named("eigenvalues") = Rcpp::wrap(eigenvalues),
                              Rcpp::Named("non_zero") = static_cast<int>(listed),
                              Rcpp::Named("shares") = Rcpp::wrap(shares),
                              Rcpp::Named("scores") = matrixOf(scores, pops, 2));
}

Rcpp::List resultsOf(const tavrik::EngineRun& run)
{
    const tavrik::AnalysisResults& res = run.results();
    const tavrik::RunBasis& basis = run.output.basis;
    const std::vector<std::string>& pops = res.populationNames;
    const std::size_t g = pops.size();
    const double na = NA_REAL;

    Rcpp::NumericVector fst = Rcpp::NumericVector::create(
        Rcpp::Named("estimate") = basis.fst,
        Rcpp::Named("unbiased") = basis.biasCorrection ? basis.fstUnbiased : na,
        Rcpp::Named("se") = basis.fstSe);
    Rcpp::DataFrame vt =
        Rcpp::DataFrame::create(Rcpp::Named("population") = names(pops),
                                Rcpp::Named("observed") = Rcpp::wrap(res.observedVariance),
                                Rcpp::Named("expected") = Rcpp::wrap(res.expectedVariance),
                                Rcpp::Named("residual") = Rcpp::wrap(res.residualVariance),
                                Rcpp::Named("stringsAsFactors") = false);
    vt.attr("mean_within_variance") = basis.passes.meanWithinVariance;
    std::vector<double> census(basis.popSizes.begin(), basis.popSizes.end());
    std::vector<double> leftOut(basis.passes.leftOut.begin(), basis.passes.leftOut.end());

    const std::vector<double> zeros(g, 0.0); // the D-square's standard errors
    Rcpp::List out =
        Rcpp::List::create(Rcpp::Named("R") = matrixOf(res.rMatrix, pops),
                           Rcpp::Named("R_se") = matrixOf(basis.seR, pops, 0, &basis.seDiagonal),
                           Rcpp::Named("D2") = matrixOf(res.dSquare, pops),
                           Rcpp::Named("D2_se") = matrixOf(basis.seDSquare, pops, 0, &zeros),
                           Rcpp::Named("Fst") = fst);
    out["vt"] = vt;
    out["pcoa"] = principalCoordinates(
        res.eigenvalues, res.eigenvaluesListed, res.pcShares, res.pcScores, pops);
    out["n"] = named(basis.passes.sampleSizes, pops);
    out["weights"] = named(basis.setup.popWeights, pops);
    out["census"] = named(census, pops);
    out["left_out"] = named(leftOut, pops);
    out["uncorrected_diagonal"] = named(basis.uncorrectedDiagonal, pops);
    out["variables"] = names(basis.setup.varNames);
    if (run.scaled()) {
        out["scaled"] = Rcpp::List::create(Rcpp::Named("R") = matrixOf(res.scaledRMatrix, pops),
                                           Rcpp::Named("D2") = matrixOf(res.scaledDSquare, pops),
                                           Rcpp::Named("pcoa") =
                                               principalCoordinates(res.scaledEigenvalues,
                                                                    res.scaledEigenvaluesListed,
                                                                    res.scaledPcShares,
                                                                    res.scaledPcScores,
                                                                    pops));
    } else {
        out["scaled"] = R_NilValue;
    }
    out["settings"] =
        Rcpp::List::create(Rcpp::Named("heritability") = static_cast<double>(basis.heritability),
                           Rcpp::Named("bias_correction") = basis.biasCorrection,
                           Rcpp::Named("scaled") = basis.scaledAnalysis);
    out["report"] = utf8(run.report());
    out["listing"] = utf8(run.listing());
    out["json"] = utf8(tavrik::engineJson(run));
    return out;
}

tavrik::TableData tableOf(const std::string& name,
                          const std::string& title,
                          const Rcpp::CharacterVector& population,
                          const Rcpp::CharacterVector& populations,
                          const Rcpp::NumericVector& census,
                          const Rcpp::List& variables)
{
    tavrik::TableData table;
    table.name = name;
    table.title = title;
    table.population = strings(population);
    table.populations = strings(populations);
    table.census.assign(census.begin(), census.end());
    if (variables.size() > 0) {
        table.variableNames = strings(variables.names());
    }
    for (R_xlen_t v = 0; v < variables.size(); ++v) {
        Rcpp::NumericVector column = variables[v];
        // R's NA is a NaN with a payload; the engine's missing value is any NaN
        table.variables.emplace_back(column.begin(), column.end());
    }
    return table;
}

} // namespace

// [[Rcpp::export(.engine_run)]]
Rcpp::List engineRun(std::string name,
                     std::string title,
                     Rcpp::CharacterVector population,
                     Rcpp::CharacterVector populations,
                     Rcpp::NumericVector census,
                     Rcpp::List variables,
                     double heritability,
                     bool biasCorrection,
                     bool scaled,
                     std::string sourceDate)
{
    tavrik::Clock clock = tavrik::systemClock();
    if (!sourceDate.empty()) {
        tavrik::Result<tavrik::Clock> fixed = tavrik::sourceDateClock(sourceDate);
        if (!fixed) {
            fail(fixed);
        }
        clock = *fixed;
    }
    tavrik::EngineChoice choice;
    choice.heritability = heritability;
    choice.biasCorrection = biasCorrection;
    choice.scaled = scaled;
    tavrik::Result<tavrik::EngineRun> run = tavrik::runTable(
        tableOf(name, title, population, populations, census, variables), choice, clock);
    if (!run) {
        fail(run);
    }
    RunPtr held(new tavrik::EngineRun(std::move(*run)), true);
    Rcpp::List out = resultsOf(*held);
    out["run"] = held;
    return out;
}

// [[Rcpp::export(.engine_table_text)]]
Rcpp::String engineTableText(std::string name,
                             std::string title,
                             Rcpp::CharacterVector population,
                             Rcpp::CharacterVector populations,
                             Rcpp::NumericVector census,
                             Rcpp::List variables)
{
    tavrik::Result<std::string> text =
        tavrik::tableFileText(tableOf(name, title, population, populations, census, variables));
    if (!text) {
        fail(text);
    }
    return utf8(*text);
}

// [[Rcpp::export(.engine_read_table)]]
Rcpp::List engineReadTable(std::string path)
{
    tavrik::Result<tavrik::TableData> table = tavrik::readTable(path);
    if (!table) {
        fail(table);
    }
    Rcpp::List variables;
    for (std::size_t v = 0; v < table->variables.size(); ++v) {
        variables.push_back(Rcpp::wrap(table->variables[v]));
    }
    variables.names() = names(table->variableNames);
    return Rcpp::List::create(Rcpp::Named("name") = utf8(table->name),
                              Rcpp::Named("title") = utf8(table->title),
                              Rcpp::Named("population") = names(table->population),
                              Rcpp::Named("populations") = names(table->populations),
                              Rcpp::Named("census") = Rcpp::wrap(table->census),
                              Rcpp::Named("variables") = variables);
}

// [[Rcpp::export(.engine_sweep)]]
Rcpp::List engineSweep(SEXP run, std::string range)
{
    const tavrik::EngineRun& held = heldRun(run);
    tavrik::Result<tavrik::SweepTable> sweep = tavrik::sweepOf(held, range);
    if (!sweep) {
        fail(sweep);
    }
    const std::size_t rows = sweep->rows.size();
    const std::size_t g = sweep->popNames.size();
    Rcpp::NumericVector h(rows), fst(rows), unbiased(rows), se(rows);
    Rcpp::NumericMatrix diagonal(static_cast<int>(rows), static_cast<int>(g));
    for (std::size_t i = 0; i < rows; ++i) {
        const tavrik::SweepRow& row = sweep->rows[i];
        h[i] = static_cast<double>(row.point.heritability);
        fst[i] = row.fst;
        unbiased[i] = sweep->biasCorrection ? row.fstUnbiased : NA_REAL;
        se[i] = row.fstSe;
        for (std::size_t p = 0; p < g; ++p) {
            diagonal(static_cast<int>(i), static_cast<int>(p)) = row.rDiagonal[p];
        }
    }
    diagonal.attr("dimnames") = Rcpp::List::create(R_NilValue, names(sweep->popNames));
    Rcpp::DataFrame table = Rcpp::DataFrame::create(Rcpp::Named("heritability") = h,
                                                    Rcpp::Named("fst") = fst,
                                                    Rcpp::Named("fst_unbiased") = unbiased,
                                                    Rcpp::Named("fst_se") = se);
    return Rcpp::List::create(Rcpp::Named("table") = table,
                              Rcpp::Named("r_diagonal") = diagonal,
                              Rcpp::Named("json") =
                                  utf8(tavrik::engineJson(held, &*sweep, nullptr, nullptr)));
}

// [[Rcpp::export(.engine_bootstrap)]]
Rcpp::List engineBootstrap(SEXP run, double replicates, double seed, std::string interval)
{
    const tavrik::EngineRun& held = heldRun(run);
    if (!(replicates >= 1 && replicates <= 1e9 && std::floor(replicates) == replicates)) {
        Rcpp::stop("the number of replicates must be a whole number from 1 to 1000000000");
    }
    if (!(seed >= 0 && seed <= 9007199254740992.0 && std::floor(seed) == seed)) {
        Rcpp::stop("the seed must be a whole number from 0 to 2^53");
    }
    tavrik::IntervalKind kind = tavrik::IntervalKind::Bca;
    if (interval == "percentile") {
        kind = tavrik::IntervalKind::Percentile;
    } else if (interval == "basic") {
        kind = tavrik::IntervalKind::Basic;
    }
    tavrik::Result<tavrik::BootstrapResult> boot = tavrik::bootstrapOf(
        held, static_cast<std::size_t>(replicates), static_cast<std::uint64_t>(seed), kind);
    if (!boot) {
        fail(boot);
    }
    BootstrapPtr hold(new BootstrapHold{&held, std::move(*boot)}, true);
    const tavrik::BootstrapResult& b = hold->result;
    const std::size_t n = b.statistics.size();
    Rcpp::CharacterVector statistic(n), pop(n), pop2(n);
    Rcpp::NumericVector estimate(n), analyticSe(n), mean(n), bias(n), se(n), lower(n), upper(n);
    for (std::size_t i = 0; i < n; ++i) {
        const tavrik::BootstrapStatistic& s = b.statistics[i];
        statistic[i] = tavrik::statisticName(s.kind);
        pop[i] = s.population.empty() ? Rcpp::String(NA_STRING) : utf8(s.population);
        pop2[i] = s.population2.empty() ? Rcpp::String(NA_STRING) : utf8(s.population2);
        estimate[i] = s.estimate;
        analyticSe[i] = s.analyticSe;
        mean[i] = s.bootstrapMean;
        bias[i] = s.bias;
        se[i] = s.bootstrapSe;
        lower[i] = s.lower;
        upper[i] = s.upper;
    }
    Rcpp::DataFrame statistics = Rcpp::DataFrame::create(Rcpp::Named("statistic") = statistic,
                                                         Rcpp::Named("population") = pop,
                                                         Rcpp::Named("population2") = pop2,
                                                         Rcpp::Named("estimate") = estimate,
                                                         Rcpp::Named("analytic_se") = analyticSe,
                                                         Rcpp::Named("mean") = mean,
                                                         Rcpp::Named("bias") = bias,
                                                         Rcpp::Named("se") = se,
                                                         Rcpp::Named("lower") = lower,
                                                         Rcpp::Named("upper") = upper,
                                                         Rcpp::Named("stringsAsFactors") = false);
    return Rcpp::List::create(Rcpp::Named("statistics") = statistics,
                              Rcpp::Named("replicates") = static_cast<double>(b.replicates),
                              Rcpp::Named("used") = static_cast<double>(b.used),
                              Rcpp::Named("seed") = static_cast<double>(b.seed),
                              Rcpp::Named("interval") = tavrik::intervalKeyword(b.interval),
                              Rcpp::Named("report") = utf8(tavrik::bootstrapSummaryText(b)),
                              Rcpp::Named("json") =
                                  utf8(tavrik::engineJson(held, nullptr, &b, nullptr)),
                              Rcpp::Named("hold") = hold);
}

// [[Rcpp::export(.engine_mantel)]]
Rcpp::List engineMantel(SEXP run,
                        std::string geography,
                        bool isText,
                        std::string geographyName,
                        double permutations,
                        double seed,
                        bool spearman,
                        bool twoSided)
{
    const tavrik::EngineRun& held = heldRun(run);
    if (!(permutations >= 1 && permutations <= 1e9 && std::floor(permutations) == permutations)) {
        Rcpp::stop("the number of permutations must be a whole number from 1 to 1000000000");
    }
    if (!(seed >= 0 && seed <= 9007199254740992.0 && std::floor(seed) == seed)) {
        Rcpp::stop("the seed must be a whole number from 0 to 2^53");
    }
    tavrik::MantelSettings settings;
    settings.permutations = static_cast<std::size_t>(permutations);
    settings.seed = static_cast<std::uint64_t>(seed);
    settings.method = spearman ? tavrik::MantelMethod::Spearman : tavrik::MantelMethod::Pearson;
    settings.alternative =
        twoSided ? tavrik::MantelAlternative::TwoSided : tavrik::MantelAlternative::Greater;
    const auto test = [&]() -> tavrik::Result<tavrik::MantelResult> {
        if (!isText) {
            return tavrik::mantelOf(held, geography, "", settings);
        }
        tavrik::Result<tavrik::Geography> read =
            tavrik::readGeographyText(std::move(geography), geographyName);
        if (!read) {
            return read.error();
        }
        return tavrik::mantelOf(held, *read, nullptr, settings);
    };
    tavrik::Result<tavrik::MantelResult> mantel = test();
    if (!mantel) {
        fail(mantel);
    }
    const std::size_t n = mantel->matrices.size();
    Rcpp::CharacterVector matrix(n);
    Rcpp::NumericVector r(n), p(n);
    for (std::size_t i = 0; i < n; ++i) {
        matrix[i] = mantel->matrices[i].name;
        r[i] = mantel->matrices[i].r;
        p[i] = mantel->matrices[i].p;
    }
    Rcpp::DataFrame tests = Rcpp::DataFrame::create(Rcpp::Named("matrix") = matrix,
                                                    Rcpp::Named("r") = r,
                                                    Rcpp::Named("p") = p,
                                                    Rcpp::Named("stringsAsFactors") = false);
    return Rcpp::List::create(
        Rcpp::Named("tests") = tests,
        Rcpp::Named("permutations") = static_cast<double>(mantel->permutations),
        Rcpp::Named("notes") = names(mantel->notes),
        Rcpp::Named("report") = utf8(tavrik::mantelSummaryText(*mantel)),
        Rcpp::Named("json") = utf8(tavrik::engineJson(held, nullptr, nullptr, &*mantel)));
}

// [[Rcpp::export(.engine_tree)]]
Rcpp::List engineTree(SEXP run, bool scaled, SEXP bootstrap)
{
    const tavrik::EngineRun& held = heldRun(run);
    const tavrik::BootstrapResult* boot = nullptr;
    if (!Rf_isNull(bootstrap)) {
        BootstrapPtr hold(bootstrap);
        if (hold.get() == nullptr) {
            Rcpp::stop("this bootstrap no longer holds its replicates (it was saved and loaded "
                       "again); run tavrik_bootstrap() again");
        }
        if (hold->run != &held) {
            Rcpp::stop("the bootstrap belongs to another run; bootstrap this run to support its "
                       "tree");
        }
        boot = &hold->result;
    }
    tavrik::Result<tavrik::TreeRun> tree = tavrik::treeOf(held, scaled, boot);
    if (!tree) {
        fail(tree);
    }
    return Rcpp::List::create(
        Rcpp::Named("newick") = utf8(tavrik::newickText(tree->tree)),
        Rcpp::Named("consensus") =
            tree->consensus ? Rcpp::wrap(utf8(tavrik::newickText(*tree->consensus))) : R_NilValue,
        Rcpp::Named("matrix") = tree->matrixName,
        Rcpp::Named("report") = utf8(boot != nullptr ? tavrik::treeSupportText(*tree) : ""));
}
