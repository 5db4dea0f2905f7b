#!/bin/sh
# Flushing an outbox of COUNT queued voice mails (a 32 KB attachment each)
# to a local SMTP sink: quillet-send --flush (one process, one connection,
# RSET between the mails) beside curl sending the same .eml files one
# process each. The whole process is timed, RUNS rounds with the two tools
# alternating (which goes first swaps every round); the queue is filled
# afresh before each quillet run, untimed. One row per tool: median wall
# time, mails per second from it, median CPU time, peak RSS; and a check
# that the sink got COUNT mails and the same data bytes from every run.
# The outbox lives under WORK_DIR (default: a new directory in TMPDIR), so
# it measures that file system too. Loopback only.
# Usage: bench/outbox.sh [BUILD_DIR] [RUNS] [COUNT]   (defaults: build, 5, 1000)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wait_for.sh"
build=${1:-$here/../build}
runs=${2:-5}
count=${3:-1000}
sink=$build/bench/smtp_sink_bench
make=$build/bench/smtp_send_bench
fill=$build/bench/outbox_fill_bench
send=$build/bin/quillet-send
for b in "$sink" "$make" "$fill" "$send"; do
    [ -x "$b" ] || { echo "build it first: ninja -C $build smtp_sink_bench smtp_send_bench outbox_fill_bench quillet-send" >&2; exit 2; }
done
command -v curl >/dev/null || { echo "curl is not installed" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is not installed" >&2; exit 2; }

work=$(mktemp -d "${WORK_DIR:-${TMPDIR:-/tmp}}/quillet-outbox-bench-XXXXXX")
pid=
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT INT TERM

"$sink" > "$work/port" 2> "$work/sizes" &
pid=$!
wait_for "$work/port" "sink did not start"
port=$(cat "$work/port")
cat > "$work/quillet.ini" <<INI
[User]
Name=Bench Sender
Email=sender@example.test
SendType=SMTP
[SMTP]
Server=127.0.0.1
Port=$port
Security=None
Timeout=60
INI
head -c 32768 /dev/urandom > "$work/Quillet.mp3"
"$make" eml "$work/message.eml" "$work/Quillet.mp3"

# measure TOOL: one run of TOOL; appends "wall_ms cpu_ms rss_kb" to TOOL's
# runs and "mails bytes" (what the sink saw) to TOOL's work.
measure() {
    before=$(wc -l < "$work/sizes")
    case $1 in
    quillet)
        rm -rf "$work/outbox" "$work/copies"; mkdir "$work/copies"
        "$fill" "$work/outbox" "$count" "$work/message.eml" "$work/copies"
        QUILLET_OUTBOX_DIR=$work/outbox /usr/bin/time -f '%e %U %S %M' -o "$work/time" \
            "$send" --flush --settings "$work/quillet.ini" > /dev/null
        [ -z "$(ls "$work/outbox")" ] || { echo "quillet-send left mails in the outbox" >&2; exit 1; }
        ;;
    curl)
        /usr/bin/time -f '%e %U %S %M' -o "$work/time" sh -c '
            for f in "$1"/*.eml; do
                curl -s --url "smtp://127.0.0.1:$2" --mail-from sender@example.test \
                    --mail-rcpt rcpt@example.test --upload-file "$f" || exit 1
            done' curl "$work/copies" "$port"
        ;;
    esac
    awk '{ printf "%.0f %.0f %d\n", $1 * 1000, ($2 + $3) * 1000, $4 }' "$work/time" >> "$work/$1.runs"
    tail -n +"$((before + 1))" "$work/sizes" |
        awk '{ n++; b += $1 } END { print n + 0, b + 0 }' >> "$work/$1.work"
}

# median COLUMN FILE
median() { cut -d' ' -f"$1" "$2" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

measure quillet # fills the copies for curl; a warm-up, not counted
rm -f "$work"/*.runs "$work"/*.work
r=0
while [ $r -lt "$runs" ]; do
    if [ $((r % 2)) -eq 0 ]; then measure quillet; measure curl; else measure curl; measure quillet; fi
    r=$((r + 1))
done
printf '%s mails of %s bytes to a sink on 127.0.0.1, %s runs each\n' "$count" \
    "$(wc -c < "$work/copies/100000.eml")" "$runs"
printf '%-26s %12s %11s %11s %8s %20s\n' "sender" "median wall" "mails/s" "median CPU" "peak MB" "sink: mails bytes"
for tool in quillet curl; do
    wall=$(median 1 "$work/$tool.runs")
    peak=$(cut -d' ' -f3 "$work/$tool.runs" | sort -n | tail -n 1)
    name=$([ $tool = quillet ] && echo "quillet-send --flush" || echo "curl, one process a mail")
    printf '%-26s %9s ms %11s %8s ms %8.1f %20s\n' "$name" "$wall" \
        "$(awk -v n="$count" -v ms="$wall" 'BEGIN { printf "%.0f", n * 1000 / ms }')" \
        "$(median 2 "$work/$tool.runs")" "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" \
        "$(sort -u "$work/$tool.work" | tr '\n' ' ')"
done
if [ "$(cat "$work/quillet.work" "$work/curl.work" | sort -u | wc -l)" -ne 1 ] ||
   [ "$(cut -d' ' -f1 "$work/quillet.work" | sort -u)" != "$count" ]; then
    echo "the sink did not get the same $count mails from every run" >&2
    exit 1
fi
