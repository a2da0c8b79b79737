#!/usr/bin/env bash
# Install what is missing, build, and start the desktop program on the bundled example
# (or on the data file given as the first argument).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
tavrik_deps
tavrik_build "$TAVRIK_ROOT/build"
file="${1:-$TAVRIK_ROOT/examples/highland.tvk}"
if [ -f "$file" ]; then
    exec "$TAVRIK_ROOT/build/src/app/tavrik" "$file"
fi
exec "$TAVRIK_ROOT/build/src/app/tavrik"
