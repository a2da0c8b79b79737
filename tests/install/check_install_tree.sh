#!/usr/bin/env bash
# Installs a build into a fresh prefix and checks the tree against the list the README gives:
#   check_install_tree.sh CMAKE BUILD_DIR SOURCE_DIR GUI(0|1) [CONFIG]
# Every file must be expected, every expected file present, the copies identical to their
# sources, and the installed tavrik-batch must run on every installed data file.
set -u

cmake_cmd=$1
build_dir=$2
source_dir=$3
gui=$4
config=${5:-}

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

work=$(mktemp -d "${TMPDIR:-/tmp}/tavrik-install.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT

install_to() { # PREFIX [VAR=VALUE...]: install with the given environment
    local prefix=$1
    shift
    local args=(--install "$build_dir" --prefix "$prefix")
    if [[ -n $config ]]; then
        args+=(--config "$config")
    fi
    env -u DESTDIR "$@" "$cmake_cmd" "${args[@]}" >"$work/install.log" 2>&1
}

# A prefix the desktop does not search: nothing but the listed files may appear.
prefix=$work/prefix
if ! install_to "$prefix" XDG_DATA_DIRS=/usr/share XDG_DATA_HOME="$work/elsewhere"; then
    cat "$work/install.log"
    echo "FAIL: cmake --install exited with an error"
    exit 1
fi

expected=(
    bin/tavrik-batch
    share/doc/tavrik/README.md
    share/doc/tavrik/LICENSE
    share/doc/tavrik/CHANGELOG.md
    share/doc/tavrik/DECISIONS.md
    share/doc/tavrik/USING.md
    share/doc/tavrik/DEVELOPING.md
    share/doc/tavrik/tavrik-results.schema.json
    share/man/man1/tavrik-batch.1
    share/tavrik/help/tavrik-guide.html
    share/tavrik/help/valley.tvk
)
for example in "$source_dir"/examples/*.tvk "$source_dir"/examples/*.csv; do
    expected+=("share/tavrik/examples/${example##*/}")
done
desktop_files=(
    bin/tavrik
    share/man/man1/tavrik.1
    share/applications/tavrik.desktop
    share/mime/packages/tavrik.xml
    share/icons/hicolor/scalable/apps/tavrik.svg
)
if [[ $gui == 1 ]]; then
    expected+=("${desktop_files[@]}")
fi

# The tree, both ways: nothing missing, nothing extra (a stray library, header or test).
(cd "$prefix" && find . \( -type f -o -type l \) -printf '%P\n' | sort) >"$work/found"
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
while read -r path; do
    fail "missing from the installed tree: $path"
done < <(comm -13 "$work/found" "$work/expected")
while read -r path; do
    fail "installed but not expected: $path"
done < <(comm -23 "$work/found" "$work/expected")
if [[ -e $prefix/share/mime/mime.cache ]]; then
    fail "MIME cache built for a prefix the desktop does not search"
fi

for program in bin/tavrik-batch bin/tavrik; do
    if [[ -e $prefix/$program && ! -x $prefix/$program ]]; then
        fail "$program is not executable"
    fi
done

same_as_source() { # INSTALLED SOURCE
    if [[ -e $prefix/$1 ]] && ! cmp -s "$prefix/$1" "$source_dir/$2"; then
        fail "$1 differs from $2"
    fi
}
same_as_source share/doc/tavrik/README.md README.md
same_as_source share/doc/tavrik/LICENSE LICENSE
same_as_source share/doc/tavrik/CHANGELOG.md CHANGELOG.md
same_as_source share/doc/tavrik/DECISIONS.md docs/DECISIONS.md
same_as_source share/doc/tavrik/USING.md docs/USING.md
same_as_source share/doc/tavrik/DEVELOPING.md docs/DEVELOPING.md
same_as_source share/doc/tavrik/tavrik-results.schema.json docs/tavrik-results.schema.json
same_as_source share/tavrik/help/tavrik-guide.html docs/help/tavrik-guide.html
same_as_source share/man/man1/tavrik-batch.1 docs/man/tavrik-batch.1
same_as_source share/man/man1/tavrik.1 docs/man/tavrik.1

# The manual pages format without a warning.
if command -v groff >/dev/null; then
    for page in "$prefix"/share/man/man1/*.1; do
        if ! warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$page" 2>&1) || [[ -n $warnings ]]; then
            fail "${page#"$prefix"/} does not format cleanly: $warnings"
        fi
    done
fi
for example in "$source_dir"/examples/*.tvk "$source_dir"/examples/*.csv; do
    same_as_source "share/tavrik/examples/${example##*/}" "examples/${example##*/}"
done

# The installed batch program runs from the prefix alone on every installed data file.
shopt -s nullglob
data_files=("$prefix"/share/tavrik/examples/*.tvk "$prefix"/share/tavrik/help/*.tvk)
if ((${#data_files[@]} == 0)); then
    fail "no data file installed"
fi
for data in "${data_files[@]}"; do
    report=$work/report.txt
    rm -f "$report"
    if ! (cd "$work" && SOURCE_DATE_EPOCH=0 "$prefix/bin/tavrik-batch" "$data" \
        --report "$report" 2>"$work/stderr"); then
        fail "installed tavrik-batch failed on ${data#"$prefix"/}: $(head -c 300 "$work/stderr")"
        continue
    fi
    if [[ $(head -n 1 "$report") != $'TAVRIK 5.0\r' ]]; then
        fail "report of ${data#"$prefix"/} does not start with the program line"
    fi
    if ! grep -qF "Data file = $data"$'\r' "$report"; then
        fail "report of ${data#"$prefix"/} does not name the installed file"
    fi
done

# Missing files were reported above; these checks look inside those that are there.
desktop=$prefix/share/applications/tavrik.desktop
if [[ -f $desktop ]]; then
    if command -v desktop-file-validate >/dev/null; then
        # Hints (two main categories) are expected; only errors fail.
        if ! desktop-file-validate "$desktop" >"$work/validate.txt" 2>&1; then
            fail "desktop-file-validate refuses tavrik.desktop: $(cat "$work/validate.txt")"
        fi
    fi
    if [[ $(head -n 1 "$desktop") != "[Desktop Entry]" ]]; then
        fail "tavrik.desktop does not start with [Desktop Entry]"
    fi
    # Keys with the values a file manager needs to offer TAVRIK for a .tvk file; the names
    # they use (program, icon) must be in the tree.
    entries=(Type=Application "Exec=tavrik %f" TryExec=tavrik Icon=tavrik Terminal=false
        Name=TAVRIK "MimeType=application/x-tavrik-data;" "Categories=Science;Education;*")
    for entry in "${entries[@]}"; do
        key=${entry%%=*}
        value=$(grep "^$key=" "$desktop")
        count=$(grep -c "^$key=" "$desktop")
        # shellcheck disable=SC2053 # the Categories entry is a pattern: more may follow
        if [[ $count != 1 || $value != $entry ]]; then
            fail "tavrik.desktop: expected one line $entry, found ${value:-none}"
        fi
    done
    [[ -x $prefix/bin/tavrik ]] || fail "Exec program bin/tavrik not installed"
    [[ -f $prefix/share/icons/hicolor/scalable/apps/tavrik.svg ]] ||
        fail "Icon tavrik has no installed image"
fi

if command -v xmllint >/dev/null; then
    mime_package=$prefix/share/mime/packages/tavrik.xml
    if [[ -f $mime_package ]]; then
        xmllint --noout "$mime_package" || fail "tavrik.xml is not well-formed"
    fi
    icon=$prefix/share/icons/hicolor/scalable/apps/tavrik.svg
    if [[ -f $icon ]]; then
        svg_root=$(xmllint --xpath 'local-name(/*)' "$icon" 2>&1)
        [[ $svg_root == svg ]] || fail "tavrik.svg has root '$svg_root', expected svg"
    fi
fi

if [[ -x $prefix/bin/tavrik ]]; then
    # The installed desktop program starts from the prefix (its libraries resolve).
    if ! QT_QPA_PLATFORM=offscreen "$prefix/bin/tavrik" --help >"$work/help.txt" 2>&1; then
        fail "installed tavrik --help failed: $(head -c 300 "$work/help.txt")"
    fi
fi

if [[ $gui == 1 && -f $prefix/share/mime/packages/tavrik.xml ]]; then
    # Into a folder the desktop searches, the install registers the type: the rebuilt
    # database must map *.tvk to it. Staged (DESTDIR) installs leave the caches alone.
    if command -v update-mime-database >/dev/null; then
        searched=$work/home-prefix
        if ! install_to "$searched" XDG_DATA_HOME="$searched/share"; then
            cat "$work/install.log"
            fail "install into a searched prefix failed"
        fi
        globs=$searched/share/mime/globs2
        if ! grep -q ':application/x-tavrik-data:\*\.tvk$' "$globs" 2>/dev/null; then
            fail "the MIME database does not map *.tvk to application/x-tavrik-data"
        fi
        if [[ $(grep -c 'x-tavrik' "$searched/share/mime/types" 2>/dev/null) != 1 ]]; then
            fail "the MIME database does not list application/x-tavrik-data once"
        fi

        mimeinfo=$searched/share/applications/mimeinfo.cache
        if command -v update-desktop-database >/dev/null &&
            ! grep -qx 'application/x-tavrik-data=tavrik.desktop;' "$mimeinfo" 2>/dev/null; then
            fail "the desktop database does not open application/x-tavrik-data with TAVRIK"
        fi

        staged=$work/staged
        args=(--install "$build_dir" --prefix "$searched")
        [[ -n $config ]] && args+=(--config "$config")
        rm -rf "$searched"
        if ! XDG_DATA_HOME="$searched/share" DESTDIR="$staged" "$cmake_cmd" "${args[@]}" \
            >"$work/install.log" 2>&1; then
            fail "staged install failed"
        fi
        if [[ -e $staged$searched/share/mime/mime.cache || -e $searched ]]; then
            fail "a staged install touched the MIME database"
        fi
    fi
fi

if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "installed tree complete"
