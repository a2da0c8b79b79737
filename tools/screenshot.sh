#!/usr/bin/env bash
# Build the desktop program, open the bundled example under a virtual X server, run the
# analysis on every population and variable, and save a picture of the main window.
#   tools/screenshot.sh [DATA_FILE [PNG]]   defaults: examples/highland.tvk (shown as
#   /home/user/highland.tvk where that folder can be made), docs/screenshot.png
# The program's hidden options --run-all and --screenshot do the work; SOURCE_DATE_EPOCH fixes
# the date in the report so the picture does not change from day to day.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
tavrik_deps
build="${TAVRIK_BUILD_DIR:-$TAVRIK_ROOT/build}"
tavrik_build "$build"
data="${1:-$TAVRIK_ROOT/examples/highland.tvk}"
png="${2:-$TAVRIK_ROOT/docs/screenshot.png}"
if [ ! -f "$data" ]; then
    echo "no data file at $data" >&2
    exit 1
fi
# The report names the data file's full path: show a neutral one, not the build machine's.
neutral=/home/user/highland.tvk
if [ $# -eq 0 ] && mkdir -p "$(dirname "$neutral")" 2>/dev/null && cp "$data" "$neutral" 2>/dev/null; then
    data="$neutral"
fi
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-1767225600}"
# a settings folder of its own: no remembered window size, font or recent files of the user
settings="$(mktemp -d)"
trap 'rm -rf "$settings"' EXIT
export XDG_CONFIG_HOME="$settings"
xvfb-run -a -s "-screen 0 1280x900x24" \
    "$build/src/app/tavrik" --run-all --screenshot "$png" "$data"
echo "saved $png"
