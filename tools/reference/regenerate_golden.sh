#!/usr/bin/env bash
# Rewrites the expected outputs of every golden case in tests/data/golden from the
# independent Python model of an analysis run. Each NAME.case file names its data file
# and settings; the outputs are NAME.report.txt, NAME.matrices.txt, NAME.screen.txt
# (CR LF lines), NAME.flags, NAME.values (the kept results, every double exact), and for a
# case with the line "exports 1" NAME.exports.txt (every export file, each after a "### kind"
# line).
# Review the diff before committing: a change here means the model changed, and the C++
# run must agree with it.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
golden="$root/tests/data/golden"
model="$root/tools/reference/tavrik_reference.py"

cd "$golden"
for case in *.case; do
    name="${case%.case}"
    exports=()
    if grep -q '^exports 1' "$case"; then
        exports=(--exports "$name.exports.txt")
    fi
    python3 "$model" --case "$case" \
        --report "$name.report.txt" \
        --matrices "$name.matrices.txt" \
        --screen "$name.screen.txt" \
        --flags "$name.flags" \
        --values "$name.values" \
        "${exports[@]}"
    echo "regenerated $name"
done
