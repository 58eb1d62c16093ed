#!/usr/bin/env bash
# Checks the same files with the Linux korvane-check and, under Wine, the
# Windows korvane-check.exe, and compares: JSON byte for byte; text and gcc
# lines (standard output and error) equal apart from CR LF; exit statuses
# equal. The files: every file in examples/, the fuzz seed corpora and the
# test fixtures. Run from anywhere:
#   tests/windows/compare_outputs.sh build/cli/korvane-check build-windows/cli/korvane-check.exe
set -euo pipefail
linux=$(realpath "$1")
windows=$(realpath "$2")
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
export WINEDEBUG=-all
unset NO_COLOR
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Files in batches that one run checks, each with the reader it needs.
mapfile -t examples < <(find examples -type f | sort)
mapfile -t fixtures < <(find tests/ui/fixtures -type f | sort)
mapfile -t check_run < <(find fuzz/corpus/check_run -type f | sort)
mapfile -t profile < <(find fuzz/corpus/profile_reader -type f | sort)
mapfile -t include < <(find fuzz/corpus/include_reader -type f | sort)
batches=(
    "auto:${examples[*]}"
    "auto:${fixtures[*]}"
    "auto:${check_run[*]}"
    "profile:${profile[*]}"
    "include:${include[*]}"
)

# Runs a program with output in files (Wine's helpers hold pipes open); a
# Wine run that printed nothing is run once more.
run() {
    local out=$1 err=$2
    shift 2
    local status=0
    "$@" >"$out" 2>"$err" </dev/null || status=$?
    if [ ! -s "$out" ] && [ ! -s "$err" ] && [ "$1" = wine ]; then
        status=0
        "$@" >"$out" 2>"$err" </dev/null || status=$?
    fi
    echo "$status"
}

failed=0 compared=0
for batch in "${batches[@]}"; do
    dialect=${batch%%:*}
    read -r -a files <<<"${batch#*:}"
    for format in json text gcc; do
        args=(--dialect="$dialect" --format="$format" --color=never -- "${files[@]}")
        ls=$(run "$scratch/l.out" "$scratch/l.err" "$linux" "${args[@]}")
        ws=$(run "$scratch/w.out" "$scratch/w.err" wine "$windows" "${args[@]}")
        if [ "$format" != json ]; then
            # Text takes CR LF on Windows, on every line and only there.
            if grep -q $'[^\r]$' "$scratch/w.out" || grep -q $'^$' "$scratch/w.out"; then
                echo "compare: $format ($dialect): a Windows line without CR LF" >&2
                failed=1
            fi
            sed -i 's/\r$//' "$scratch/w.out"
        fi
        sed -i 's/\r$//' "$scratch/w.err"
        for stream in out err; do
            if ! cmp -s "$scratch/l.$stream" "$scratch/w.$stream"; then
                echo "compare: $format ($dialect): std$stream differs:" >&2
                diff "$scratch/l.$stream" "$scratch/w.$stream" | head -n 20 >&2 || true
                failed=1
            fi
        done
        if [ "$ls" != "$ws" ]; then
            echo "compare: $format ($dialect): exit status $ls on Linux, $ws on Windows" >&2
            failed=1
        fi
    done
    compared=$((compared + ${#files[@]}))
done
if [ "$failed" = 0 ]; then
    echo "compare: $compared files, JSON, text and gcc: the Windows program gives the Linux output"
fi
exit "$failed"
