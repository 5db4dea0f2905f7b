#!/bin/bash
# Capture benchmark: SECONDS (default 60) of 44100 Hz 16-bit stereo from
# ALSA's file-plugin capture PCM (tests/support/audio_alsa.conf, delivering
# as fast as it is read) into a WAV file, by the recorder's capture program
# and by arecord. Both run as whole processes under the same timers (bash's
# `time`: wall, user + system CPU to the millisecond; GNU time: voluntary +
# involuntary context switches), RUNS times each, interleaved; prints the
# medians and checks that both wrote the same number of bytes.
# Usage: bench/audio_capture.sh [SECONDS] [BUILD_DIR] [RUNS]
set -euo pipefail
SECONDS_TO_RECORD=${1:-60}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${2:-$ROOT/build}
RUNS=${3:-5}
BIN=$BUILD/bin/audio_capture_bench
[ -x "$BIN" ] || { echo "build the audio_capture_bench target first ($BIN)" >&2; exit 1; }
command -v arecord >/dev/null || { echo "arecord (alsa-utils) is needed" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "GNU time (/usr/bin/time) is needed" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# A fixture as long as the recording, so both read real data throughout.
head -c $((SECONDS_TO_RECORD * 176400)) /dev/urandom >"$WORK/fixture.raw"
export ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:$ROOT/tests/support/audio_alsa.conf
export QUILLET_ALSA_INFILE=$WORK/fixture.raw
export QUILLET_ALSA_OUTFILE=/dev/null

# Runs one program under GNU time; appends "wall cpu switches bytes" to $WORK/<name>.
measure() {
    local name=$1 out=$WORK/$1.wav
    shift
    rm -f "$out"
    t=$( { TIMEFORMAT='%R %U %S'; time /usr/bin/time -o "$WORK/t" -f '%w %c' "$@" "$out" >/dev/null 2>&1; } 2>&1)
    read -r wall user sys <<<"$t"
    read -r vol invol <"$WORK/t"
    echo "$wall $(echo "$user + $sys" | bc) $((vol + invol)) $(stat -c %s "$out")" >>"$WORK/$name"
}

for ((run = 1; run <= RUNS; run++)); do
    measure quillet "$BIN" "$SECONDS_TO_RECORD"
    measure arecord arecord -q -t wav -f S16_LE -c 2 -r 44100 -d "$SECONDS_TO_RECORD"
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
printf '%-8s %5s %9s %9s %12s %9s %10s\n' program runs wall_s cpu_s cpu_s/min switches bytes
for name in quillet arecord; do
    wall=$(cut -d' ' -f1 "$WORK/$name" | median)
    cpu=$(cut -d' ' -f2 "$WORK/$name" | median)
    switches=$(cut -d' ' -f3 "$WORK/$name" | median)
    bytes=$(cut -d' ' -f4 "$WORK/$name" | sort -u | tr '\n' ' ')
    awk -v n="$name" -v r="$RUNS" -v w="$wall" -v c="$cpu" -v x="$switches" -v s="$SECONDS_TO_RECORD" -v b="$bytes" \
        'BEGIN { printf "%-8s %5d %9.3f %9.3f %12.4f %9d %10s\n", n, r, w, c, c / (s / 60), x, b }'
done
q=$(cut -d' ' -f4 "$WORK/quillet" | sort -u)
a=$(cut -d' ' -f4 "$WORK/arecord" | sort -u)
if [ "$q" != "$a" ]; then
    echo "byte counts differ: quillet $q, arecord $a" >&2
    exit 1
fi
echo "both wrote $q bytes in every run (44-byte header + $((SECONDS_TO_RECORD * 176400)) data)"
