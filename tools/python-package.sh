#!/usr/bin/env bash
# The Python module: tools/python-package.sh [TAVRIK_BATCH] (default build/src/cli/tavrik-batch,
# built when missing). Builds bindings/python and installs it into a virtual environment in
# build-python/venv that sees the system's numpy, pandas and pybind11 (no network), then runs
# its tests, which hold every number to that tavrik-batch's.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
tavrik_deps
batch="${1:-$TAVRIK_ROOT/build/src/cli/tavrik-batch}"
if [ ! -x "$batch" ]; then
    cmake -S "$TAVRIK_ROOT" -B "$TAVRIK_ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$TAVRIK_ROOT/build" -j "$(nproc)" --target tavrik-batch
fi
batch="$(realpath "$batch")"
out="$TAVRIK_ROOT/build-python"
# the Python the system's packages are installed for, whatever else PATH offers
python=/usr/bin/python3
mkdir -p "$out"
if [ ! -x "$out/venv/bin/python" ]; then
    "$python" -m venv --system-site-packages "$out/venv"
fi
# the compiler through ccache when there is one, as the CMake builds use it
if command -v ccache >/dev/null && [ -z "${CC:-}" ]; then
    export CC="ccache gcc" CXX="ccache g++"
fi
TAVRIK_PY_BUILD="$out/setuptools" "$out/venv/bin/python" -m pip install --no-build-isolation \
    --no-deps --no-index --force-reinstall -q "$TAVRIK_ROOT/bindings/python" \
    >"$out/pip.log" 2>&1 || { tail -40 "$out/pip.log"; exit 1; }
# from the build folder, so that the tests import the installed module, not the sources
cd "$out"
TAVRIK_BATCH="$batch" TAVRIK_EXAMPLES="$TAVRIK_ROOT/examples" \
    "$out/venv/bin/python" -m pytest -q -p no:cacheprovider "$TAVRIK_ROOT/bindings/python/tests"
