#!/usr/bin/env bash
# Install what is missing, build, and run every test.
#   tools/test.sh             the normal build in build/
#   tools/test.sh --sanitize  the same suite under AddressSanitizer and UBSan in build-asan/
#   tools/test.sh --tsan      the tests that run threads (the parallel reader, the cached second
#                             pass, the bootstrap, the Mantel test) under ThreadSanitizer in
#                             build-tsan/, without the desktop program; being the build without
#                             Qt, it also runs tavrik-batch's charts through the core's SVG writer
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
tavrik_deps
dir="$TAVRIK_ROOT/build"
opts=()
if [ "${CI:-}" = "true" ]; then
    opts+=(-DTAVRIK_WERROR=ON)
fi
case "${1:-}" in
--sanitize)
    dir="$TAVRIK_ROOT/build-asan"
    opts+=(-DSANITIZE=ON)
    ;;
--tsan)
    dir="$TAVRIK_ROOT/build-tsan"
    flags="-fsanitize=thread -fno-omit-frame-pointer"
    cmake -S "$TAVRIK_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIK_GUI=OFF \
        "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_EXE_LINKER_FLAGS=$flags" "${opts[@]}" >/dev/null
    cmake --build "$dir" -j "$(nproc)" --target datafile_tests analysis_data_passes_test \
        analysis_reliability_test analysis_resampling_test analysis_mantel_test tavrik-batch \
        cli_chart_tests svg_chart_test
    cd "$dir"
    # The runtime maps its shadow memory at fixed addresses, which a kernel's wider address
    # randomisation can take: run without it where setarch can turn it off.
    norandom=()
    if setarch "$(uname -m)" -R true 2>/dev/null; then
        norandom=(setarch "$(uname -m)" -R)
    fi
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" "${norandom[@]}" \
        ctest --output-on-failure -j "$(nproc)" -R \
        '^(ParallelReader|WorkerPool|RecordCache)\.|^DataPasses\.SecondPass|^RunReliability\.(EveryThreadCount|CancelledRun|DataFileChanged)|^Bootstrap\.(ResultsDoNotDepend|ReportsItsReplicates)|^Mantel\.(SeedDecides|ReportsItsPermutations)|^PartialMantel\.Keeps|^BatchChart\.|^(SvgChart|FontTable|SvgNumber)\.'
    exit
    ;;
esac
tavrik_build "$dir" "${opts[@]}"
cd "$dir"
ctest --output-on-failure -j "$(nproc)"
