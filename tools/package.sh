#!/usr/bin/env bash
# The Debian package of a build: tools/package.sh [BUILD_DIR] (default build/, configured with
# the desktop program). Makes tavrik_<version>-1_<arch>.deb there, checks it with lintian (an
# error fails), installs it with apt-get, runs the installed tavrik-batch on an installed example
# and compares its report with the build's own, and removes the package again.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
tavrik_deps
dir="${1:-$TAVRIK_ROOT/build}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

cmake "$dir" >/dev/null
(cd "$dir" && cpack -G DEB >cpack.log) || { cat "$dir/cpack.log"; exit 1; }
deb=$(ls "$dir"/tavrik_*_*.deb)
echo "Package: ${deb##*/}, $(stat -c %s "$deb") bytes"
# lintian refuses to look at a package as root without a word; the word is printed, not fatal
lintian --fail-on error "$deb" 2>&1 | grep -v '^running with root privileges' || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || { echo "lintian found errors"; exit 1; }

if dpkg-query -W -f='${Status}' tavrik 2>/dev/null | grep -q 'install ok installed'; then
    echo "A tavrik package is installed already; not replacing it"
    exit 1
fi
scratch=$(mktemp -d)
cleanup() {
    rm -rf "$scratch"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq tavrik >/dev/null 2>&1 || true
}
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >"$scratch/apt.log" 2>&1 ||
    { cat "$scratch/apt.log"; exit 1; }
/usr/bin/tavrik-batch --version
example=/usr/share/tavrik/examples/highland.tvk
SOURCE_DATE_EPOCH=0 /usr/bin/tavrik-batch "$example" --report "$scratch/installed.txt"
SOURCE_DATE_EPOCH=0 "$dir/src/cli/tavrik-batch" "$example" --report "$scratch/built.txt"
cmp "$scratch/installed.txt" "$scratch/built.txt"
man -w tavrik-batch >/dev/null
test -x /usr/bin/tavrik
echo "Installed, ran and removed ${deb##*/}"
