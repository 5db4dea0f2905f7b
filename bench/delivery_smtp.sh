#!/bin/sh
# One message with a 10 MB and with a 100 MB attachment, delivered to a
# local SMTP sink by Quillet (TNetSMTP) and by curl from the same .eml text:
# wall time, CPU time and peak RSS of each in one table. Loopback only.
# Usage: bench/delivery_smtp.sh [BUILD_DIR]   (default: build)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
sink=$build/bench/delivery_sink_bench
send=$build/bench/delivery_send_bench
for b in "$sink" "$send"; do
    [ -x "$b" ] || { echo "build it first: ninja -C $build delivery_sink_bench delivery_send_bench" >&2; exit 2; }
done
command -v curl >/dev/null || { echo "curl is not installed" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is not installed" >&2; exit 2; }

work=$(mktemp -d)
pid=
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT INT TERM

"$sink" > "$work/port" &
pid=$!
i=0
until [ -s "$work/port" ]; do
    i=$((i + 1)); [ $i -lt 100 ] || { echo "sink did not start" >&2; exit 1; }
    sleep 0.05
done
port=$(cat "$work/port")

# measure NAME COMMAND...: one table row from /usr/bin/time (elapsed, user,
# system seconds, max RSS in KB).
measure() {
    name=$1; shift
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" > /dev/null
    set -- $(cat "$work/time")
    awk -v n="$name" -v e="$1" -v u="$2" -v s="$3" -v m="$4" \
        'BEGIN { printf "%-22s %9.0f %9.0f %10.1f\n", n, e * 1000, (u + s) * 1000, m / 1024 }'
}

printf '%-22s %9s %9s %10s\n' "delivery" "wall ms" "CPU ms" "peak MB"
for mb in 10 100; do
    head -c $((mb * 1024 * 1024)) /dev/urandom > "$work/Quillet.mp3"
    "$send" eml "$work/message.eml" "$work/Quillet.mp3"
    # curl does its own dot-stuffing and sends the end of data: give it the
    # text without the final "." line.
    head -c -3 "$work/message.eml" > "$work/curl.eml"
    measure "quillet ${mb} MB" "$send" send "$port" "$work/Quillet.mp3"
    measure "curl ${mb} MB" curl -s --url "smtp://127.0.0.1:$port" \
        --mail-from sender@example.test --mail-rcpt rcpt@example.test \
        --upload-file "$work/curl.eml"
done
