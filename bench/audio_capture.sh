#!/bin/sh
# Capture benchmark: 60 s (or $1 s) of 44100 Hz 16-bit stereo through ALSA's
# file-plugin configuration (tests/support/audio_alsa.conf, which delivers
# as fast as it is read), recorded by the recorder and by arecord. Prints
# real-time factor (audio seconds per wall second) and CPU seconds per
# audio minute. Usage: bench/audio_capture.sh [SECONDS] [BUILD_DIR]
set -eu
SECONDS_TO_RECORD=${1:-60}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${2:-$ROOT/build}
BIN=$BUILD/bin/audio_capture_bench
[ -x "$BIN" ] || { echo "build the audio_capture_bench target first ($BIN)" >&2; exit 1; }
command -v arecord >/dev/null || { echo "arecord (alsa-utils) is needed" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# A fixture as long as the recording, so both read real data throughout.
head -c $((SECONDS_TO_RECORD * 176400)) /dev/urandom > "$WORK/fixture.raw"
export ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:$ROOT/tests/support/audio_alsa.conf
export QUILLET_ALSA_INFILE=$WORK/fixture.raw
export QUILLET_ALSA_OUTFILE=/dev/null

printf '%-12s %9s %9s %9s %10s %12s\n' program audio_s wall_s cpu_s rt_factor cpu_s/min
# Three runs each: the machine is shared, so look at the best.
for run in 1 2 3; do
"$BIN" "$SECONDS_TO_RECORD" "$WORK/quillet.wav"

# arecord, timed the same way: wall clock and the child's CPU time.
python3 - "$SECONDS_TO_RECORD" "$WORK/arecord.wav" <<'PY'
import resource, subprocess, sys, time
seconds, out = float(sys.argv[1]), sys.argv[2]
t0 = time.monotonic()
subprocess.run(["arecord", "-q", "-f", "S16_LE", "-c", "2", "-r", "44100",
                "-d", str(int(seconds)), out], check=True)
wall = time.monotonic() - t0
u = resource.getrusage(resource.RUSAGE_CHILDREN)
cpu = u.ru_utime + u.ru_stime
print("%-12s %9.2f %9.3f %9.3f %10.1f %12.4f" % ("arecord", seconds, wall, cpu,
      seconds / wall, cpu / (seconds / 60)))
PY
done
