#!/bin/sh
# How long the GUI thread's event loop goes unserviced during a send: runs
# gui_responsiveness_bench's three jobs (paced, unpaced, encode) RUNS times,
# interleaved (paced, unpaced, encode, paced, ...), and prints one row per
# job: the medians of the longest and the 99th-percentile gap between the
# ticks of a 10 ms timer, of the tick count and of the wall time, and the
# bytes received (the sink's data bytes; the .eml size for encode). Then
# the stage breakdown of each job's run with the longest gap. Exits 1 when
# the runs of one job did not all produce the same number of bytes.
# Numbers only: nothing here judges the times. Loopback only.
# Usage: bench/gui_responsiveness.sh [BUILD_DIR] [RUNS]   (defaults: build, 3)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
runs=${2:-3}
bench=$build/bench/gui_responsiveness_bench
[ -x "$bench" ] || { echo "build it first: ninja -C $build gui_responsiveness_bench" >&2; exit 2; }
command -v lame >/dev/null || { echo "lame is not installed" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

jobs="paced unpaced encode"
r=1
while [ $r -le "$runs" ]; do
    for job in $jobs; do
        if ! "$bench" "$job" > "$work/out" 2> "$work/$job.$r.stages"; then
            cat "$work/$job.$r.stages" >&2
            echo "run $r of $job failed" >&2
            exit 1
        fi
        echo "run $r: $(cat "$work/out")" >&2
        # job longest p99 ticks wall bytes run
        sed -e 's/[a-z0-9_]*=//g' -e "s/\$/ $r/" "$work/out" >> "$work/$job.runs"
    done
    r=$((r + 1))
done

# median COLUMN FILE
median() {
    cut -d' ' -f"$1" "$2" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo
printf '%-8s %4s %17s %13s %13s %13s  %s\n' "job" "runs" "median longest" "median p99" "median ticks" "median wall" "bytes"
status=0
for job in $jobs; do
    f=$work/$job.runs
    sizes=$(cut -d' ' -f6 "$f" | sort -u | tr '\n' ' ')
    printf '%-8s %4d %14s ms %10s ms %13s %11s s  %s\n' "$job" "$runs" \
        "$(median 2 "$f")" "$(median 3 "$f")" "$(median 4 "$f")" "$(median 5 "$f")" "$sizes"
    if [ "$(cut -d' ' -f6 "$f" | sort -u | wc -l)" -ne 1 ]; then
        echo "the runs of $job did not all produce the same number of bytes: $sizes" >&2
        status=1
    fi
done
echo
echo "stages of each job's run with the longest gap:"
for job in $jobs; do
    worst=$(sort -t' ' -k2,2g "$work/$job.runs" | tail -n 1 | cut -d' ' -f7)
    grep -v ' ticks      0  longest gap ending here      0.0 ms' "$work/$job.$worst.stages" || true
done
exit $status
