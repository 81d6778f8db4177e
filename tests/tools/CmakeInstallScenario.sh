#!/usr/bin/env bash
# `cmake --install` and dialtally-install lay out the same program folder: the same
# files with the same modes and contents, the same menu entries and the same values in
# the store, each in a home of its own in a temporary folder.
# usage: CmakeInstallScenario.sh BUILD_DIR CMAKE
set -euo pipefail
build=${1:?build folder}
cmake=${2:-cmake}
work=$(mktemp -d "${TMPDIR:-/tmp}/dtcmakeinstall.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Every key of the store under `key`, with its values, depth first.
store_under() {
    local config=$1 key=$2 listing line
    listing=$(XDG_CONFIG_HOME=$config "$build/tools/dialtally-reg" query "$key") || return 0
    printf '%s\n' "$listing"
    while IFS= read -r line; do
        if [[ $line == HKEY_* && $line != "$key" ]]; then
            store_under "$config" "$line"
        fi
    done <<<"$(printf '%s\n' "$listing" | tail -n +2)"
}

# What an installation leaves: every path under the folder with its type and mode, the
# files' checksums, the menu entries and the whole store, with the folder's own path
# taken out.
layout() {
    local home=$1 folder=$2
    (cd "$folder" && find . -printf '%P %y %m\n' | sort)
    (cd "$folder" && find . -type f -print0 | sort -z | xargs -0 sha256sum)
    (cd "$home/data" && find . -type f -print0 | sort -z | xargs -0 cat) | sed "s#$folder#FOLDER#g"
    for root in HKEY_LOCAL_MACHINE HKEY_CURRENT_USER; do
        store_under "$home/config" "$root" | sed "s#$folder#FOLDER#g"
    done
}

install_with() {
    local name=$1
    shift
    mkdir -p "$work/$name/config" "$work/$name/data"
    XDG_CONFIG_HOME=$work/$name/config XDG_DATA_HOME=$work/$name/data "$@" >"$work/$name.out" 2>&1 || {
        echo "FAIL: $name install failed:" >&2
        cat "$work/$name.out" >&2
        exit 1
    }
}

install_with tool "$build/tools/dialtally-install" --prefix "$work/tool/folder" --build-dir "$build"
install_with cmake "$cmake" --install "$build" --prefix "$work/cmake/folder"

layout "$work/tool" "$work/tool/folder" >"$work/tool.layout"
layout "$work/cmake" "$work/cmake/folder" >"$work/cmake.layout"
for program in Dialtally Postpeek dialtally-reg; do
    [[ -x $work/cmake/folder/$program ]] || { echo "FAIL: cmake --install left no $program" >&2; exit 1; }
done
if ! diff -u "$work/tool.layout" "$work/cmake.layout"; then
    echo "FAIL: cmake --install and dialtally-install lay out different program folders" >&2
    exit 1
fi

# A staged install would write a folder into the store that the program never runs from.
if DESTDIR=$work/stage XDG_CONFIG_HOME=$work/stage-config XDG_DATA_HOME=$work/stage-data \
    "$cmake" --install "$build" --prefix "$work/staged" >"$work/stage.out" 2>&1; then
    echo "FAIL: cmake --install with DESTDIR went ahead" >&2
    exit 1
fi
grep -q "cannot be staged with DESTDIR" "$work/stage.out" || { cat "$work/stage.out" >&2; exit 1; }
[[ ! -e $work/stage-config && ! -e $work/stage ]] || { echo "FAIL: the refused install wrote files" >&2; exit 1; }
echo "PASS: cmake --install lays out the folder as dialtally-install does ($(wc -l <"$work/cmake.layout") lines compared)"
