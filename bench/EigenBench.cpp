// Time of the principal coordinates decomposition on R-type matrices of the largest size the
// program is expected to meet (500 populations).
#include "analysis/Eigen.h"
#include "state/Matrix.h"

#include <benchmark/benchmark.h>
#include <cstddef>
#include <random>

namespace {

// R = X * X' / t for g populations and t standardised variables: symmetric, positive
// semidefinite, of rank at most t.
tavrik::Matrix rTypeMatrix(std::size_t g, std::size_t t)
{
    std::mt19937_64 random(20240501);
    std::normal_distribution<double> normal(0.0, 1.0);
    tavrik::Matrix x(g, t);
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t k = 0; k < t; ++k) {
            x(i, k) = normal(random);
        }
    }
    tavrik::Matrix r(g, g);
    for (std::size_t i = 0; i < g; ++i) {
        for (std::size_t j = 0; j < g; ++j) {
            double sum = 0.0;
            for (std::size_t k = 0; k < t; ++k) {
                sum += x(i, k) * x(j, k);
            }
            r(i, j) = sum / static_cast<double>(t);
        }
    }
    return r;
}

void decomposeRType(benchmark::State& state)
{
    const auto g = static_cast<std::size_t>(state.range(0));
    const auto t = static_cast<std::size_t>(state.range(1));
    const tavrik::Matrix r = rTypeMatrix(g, t);
    for (auto _ : state) {
        tavrik::EigenDecomposition eig = tavrik::decompose(r);
        benchmark::DoNotOptimize(eig.centredMatrix.data().data());
        state.counters["rotations"] = static_cast<double>(eig.rotationCount);
        if (!eig.converged) {
            state.SkipWithError("the solver did not converge");
        }
    }
}

} // namespace

// {g, t}: full rank, and the low rank of a typical run with few variables
BENCHMARK(decomposeRType)
    ->Args({500, 500})
    ->Args({500, 12})
    ->Args({100, 100})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
