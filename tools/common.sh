# Shared by run.sh and test.sh: install what is missing, then configure and build.
# Usage: source tools/common.sh; tavrik_deps; tavrik_build BUILD_DIR [cmake options...]
set -euo pipefail

TAVRIK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TAVRIK_PACKAGES=(cmake g++ make libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev
    qt6-svg-dev libgl-dev fonts-liberation xvfb xauth clang libclang-rt-14-dev clang-format
    phylip libfast-float-dev libfmt-dev nlohmann-json3-dev python3-jsonschema libcli11-dev librsvg2-bin
    python3-fonttools dpkg-dev file lintian man-db
    python3-dev python3-venv python3-setuptools python3-pybind11 python3-numpy python3-pandas
    python3-pytest)
# tools/windows.sh: the cross compiler, wine, which runs its tests, and what makes the zip
TAVRIK_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine64 groff zip)
# tools/web.sh: the WebAssembly compiler, the acorn its optimiser needs, the browser of the tests
TAVRIK_WEB_PACKAGES=(emscripten node-acorn chromium)

# tavrik_deps [PACKAGE...]: the packages named, TAVRIK_PACKAGES by default
tavrik_deps() {
    local missing=() p wanted=("$@")
    if [ ${#wanted[@]} -eq 0 ]; then wanted=("${TAVRIK_PACKAGES[@]}"); fi
    for p in "${wanted[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing missing packages: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

tavrik_build() {
    local dir="$1"
    shift
    cmake -S "$TAVRIK_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}
