#!/bin/sh
# One message with a 10 MB and with a 100 MB attachment, delivered to a
# local SMTP sink by Quillet (TNetSMTP) and by curl from the same .eml text,
# RUNS times each, the two tools alternating (which goes first swaps every
# round, so neither always finds the caches warm). One table row per tool
# and size: median wall time, median CPU time, peak RSS; and a check that
# the sink got the same number of data bytes from every run. Loopback only.
# Usage: bench/smtp_delivery.sh [BUILD_DIR] [RUNS]   (defaults: build, 5)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wait_for.sh"
build=${1:-$here/../build}
runs=${2:-5}
sink=$build/bench/smtp_sink_bench
send=$build/bench/smtp_send_bench
for b in "$sink" "$send"; do
    [ -x "$b" ] || { echo "build it first: ninja -C $build smtp_sink_bench smtp_send_bench" >&2; exit 2; }
done
command -v curl >/dev/null || { echo "curl is not installed" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is not installed" >&2; exit 2; }

work=$(mktemp -d)
pid=
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT INT TERM

"$sink" > "$work/port" 2> "$work/sizes" &
pid=$!
wait_for "$work/port" "sink did not start"
port=$(cat "$work/port")

# measure TOOL: one run of TOOL; appends "wall_ms cpu_ms rss_kb" to TOOL's
# runs and the data size the sink saw to TOOL's sizes.
measure() {
    before=$(wc -l < "$work/sizes")
    case $1 in
    quillet) set -- quillet "$send" send "$port" "$work/Quillet.mp3" ;;
    curl) set -- curl curl -s --url "smtp://127.0.0.1:$port" --mail-from sender@example.test \
        --mail-rcpt rcpt@example.test --upload-file "$work/curl.eml" ;;
    esac
    tool=$1; shift
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" > /dev/null
    set -- "$tool"
    awk '{ printf "%.0f %.0f %d\n", $1 * 1000, ($2 + $3) * 1000, $4 }' "$work/time" >> "$work/$1.runs"
    i=0
    until [ "$(wc -l < "$work/sizes")" -gt "$before" ]; do
        i=$((i + 1)); [ $i -lt 100 ] || { echo "the sink saw no message from $1" >&2; exit 1; }
        sleep 0.02
    done
    tail -n 1 "$work/sizes" >> "$work/$1.sizes"
}

# median COLUMN FILE
median() { cut -d' ' -f"$1" "$2" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

printf '%-16s %4s %12s %11s %8s %14s\n' "delivery" "runs" "median wall" "median CPU" "peak MB" "data bytes"
status=0
for mb in 10 100; do
    head -c $((mb * 1024 * 1024)) /dev/urandom > "$work/Quillet.mp3"
    "$send" eml "$work/message.eml" "$work/Quillet.mp3"
    # The .eml is the message as a reader sees it (no dot-stuffing, no final
    # "." line); curl stuffs and ends the data itself.
    cp "$work/message.eml" "$work/curl.eml"
    rm -f "$work"/*.runs "$work"/*.sizes
    r=0
    while [ $r -lt "$runs" ]; do
        if [ $((r % 2)) -eq 0 ]; then measure quillet; measure curl; else measure curl; measure quillet; fi
        r=$((r + 1))
    done
    for tool in quillet curl; do
        sizes=$(sort -u "$work/$tool.sizes" | tr '\n' ' ')
        peak=$(cut -d' ' -f3 "$work/$tool.runs" | sort -n | tail -n 1)
        printf '%-16s %4d %9s ms %8s ms %8.1f %14s\n' "$tool $mb MB" "$runs" \
            "$(median 1 "$work/$tool.runs")" "$(median 2 "$work/$tool.runs")" \
            "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" "$sizes"
    done
    if [ "$(cat "$work/quillet.sizes" "$work/curl.sizes" | sort -u | wc -l)" -ne 1 ]; then
        echo "the sink did not get the same data from every run at $mb MB" >&2
        status=1
    fi
done
exit $status
