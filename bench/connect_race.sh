#!/bin/sh
# Time to a delivered mail when the first address of the server's name is
# a black hole: the name race.test has ::1 (a listener whose full accept
# queue drops every SYN) and then 127.0.0.1 (a fast SMTP sink), both on one
# port. Quillet (TNetSMTP, RFC 8305 race, 250 ms attempt delay, 60 s
# connect time-out) against curl (its own race, --resolve with the same two
# addresses in the same order, the same 250 ms delay), RUNS times each,
# interleaved (which goes first swaps every round). Prints the median wall
# time of each, and checks that the sink got the same number of data bytes
# from every run. Loopback only.
# Usage: bench/connect_race.sh [BUILD_DIR] [RUNS]   (defaults: build, 11)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wait_for.sh"
build=${1:-$here/../build}
runs=${2:-11}
sink=$build/bench/smtp_sink_bench
race=$build/bench/connect_race_bench
for b in "$sink" "$race"; do
    [ -x "$b" ] || { echo "build it first: ninja -C $build smtp_sink_bench connect_race_bench" >&2; exit 2; }
done
command -v curl >/dev/null || { echo "curl is not installed" >&2; exit 2; }

work=$(mktemp -d)
pids=
cleanup() { for p in $pids; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT INT TERM

"$sink" > "$work/port" 2> "$work/sizes" &
pids="$!"
wait_for "$work/port" "sink did not start"
port=$(cat "$work/port")
"$race" hole "$port" > "$work/hole" &
pids="$pids $!"
wait_for "$work/hole" "the black hole on [::1]:$port did not start"

head -c 4096 /dev/urandom | base64 > "$work/text"
"$race" eml "$work/curl.eml" "$work/text"

# measure TOOL: one delivery; appends its wall time in ms to TOOL.runs and
# the data size the sink saw to TOOL.sizes.
measure() {
    before=$(wc -l < "$work/sizes")
    start=$(date +%s%N)
    case $1 in
    quillet) "$race" send "$port" "$work/text" ;;
    curl) curl -s --happy-eyeballs-timeout-ms 250 --resolve "race.test:$port:[::1],127.0.0.1" \
        --url "smtp://race.test:$port" --mail-from sender@example.test \
        --mail-rcpt rcpt@example.test --upload-file "$work/curl.eml" > /dev/null ;;
    esac
    end=$(date +%s%N)
    echo $(((end - start) / 1000000)) >> "$work/$1.runs"
    i=0
    until [ "$(wc -l < "$work/sizes")" -gt "$before" ]; do
        i=$((i + 1)); [ $i -lt 100 ] || { echo "the sink saw no message from $1" >&2; exit 1; }
        sleep 0.02
    done
    tail -n 1 "$work/sizes" >> "$work/$1.sizes"
}

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

r=0
while [ $r -lt "$runs" ]; do
    if [ $((r % 2)) -eq 0 ]; then measure quillet; measure curl; else measure curl; measure quillet; fi
    r=$((r + 1))
done
printf '%-8s %4s %12s %8s %8s %12s\n' "tool" "runs" "median wall" "min" "max" "data bytes"
for tool in quillet curl; do
    printf '%-8s %4d %9s ms %5s ms %5s ms %12s\n' "$tool" "$runs" "$(median "$work/$tool.runs")" \
        "$(sort -n "$work/$tool.runs" | head -n 1)" "$(sort -n "$work/$tool.runs" | tail -n 1)" \
        "$(sort -u "$work/$tool.sizes" | tr '\n' ' ')"
done
if [ "$(cat "$work/quillet.sizes" "$work/curl.sizes" | sort -u | wc -l)" -ne 1 ]; then
    echo "the sink did not get the same data from every run" >&2
    exit 1
fi
