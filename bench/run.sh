#!/usr/bin/env bash
# Builds name-dialogue (release preset) and the raw-syscall C reference, then
# prints one table: per-run cost, instructions per run, and the time and peak
# memory for a 96 MiB first name. Usage: bench/run.sh [RUNS], RUNS default 1000.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-1000}
for tool in cmake cc valgrind awk; do
    command -v "$tool" >/dev/null ||
        { echo "bench/run.sh: $tool is needed and not installed" >&2; exit 1; }
done
out="$root/build-release/bench"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

cmake --preset release -S "$root" >/dev/null
cmake --build "$root/build-release" --target name-dialogue >/dev/null
mkdir -p "$out"
cc -O2 -static -o "$out/reference" "$root/bench/reference.c"
cc -O2 -o "$out/spawn" "$root/bench/spawn.c"
program="$root/build-release/name-dialogue"
reference="$out/reference"

printf 'Ada\nLovelace\n' >"$tmp/names"
# Median and mean microseconds a run, alternating the two programs.
read -r _ program_median program_mean _ reference_median reference_mean <<<"$(
    "$out/spawn" "$runs" "$tmp/names" "$program" "$reference" | tr '\n' ' ')"

instructions() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$1" <"$tmp/names" 2>&1 >/dev/null |
        sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}
program_ir=$(instructions "$program")
reference_ir=$(instructions "$reference")

size=$((96 * 1024 * 1024))
{ head -c "$size" /dev/zero | tr '\0' x && printf '\nLovelace\n'; } >"$tmp/large"
read -r _ large_wall large_peak_kib <<<"$("$out/spawn" --once "$tmp/large" "$program")"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
within() { awk -v r="$1" -v limit="$2" 'BEGIN { print (r <= limit ? "yes" : "NO") }'; }
cost_ratio=$(ratio "$program_median" "$reference_median")
ir_ratio=$(ratio "$program_ir" "$reference_ir")
peak_ratio=$(ratio "$((large_peak_kib * 1024))" "$size")

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(uname -srm), $(nproc) cores, $cpu;" \
    "$runs runs of each program, alternated."
echo
echo "| measure | name-dialogue | C reference | ratio | bound | within |"
echo "|---|---|---|---|---|---|"
echo "| run, median µs | $program_median | $reference_median | $cost_ratio | 1.2 | $(within "$cost_ratio" 1.2) |"
echo "| run, mean µs | $program_mean | $reference_mean | $(ratio "$program_mean" "$reference_mean") | | |"
echo "| instructions a run | $program_ir | $reference_ir | $ir_ratio | 4 | $(within "$ir_ratio" 4) |"
echo "| 96 MiB first name: wall s | $large_wall | | | | |"
echo "| 96 MiB first name: peak MiB | $((large_peak_kib / 1024)) | | $peak_ratio of the name | 2.1 | $(within "$peak_ratio" 2.1) |"
