#!/bin/bash
# .eml writing benchmark: WriteToFile of a message with a 10 MB and a 100 MB
# attachment of random bytes, beside "base64 -w 76 FILE > out" and
# "mpack -o out FILE" on the same file. Prints wall time, MB/s of attachment
# and peak RSS of each. Usage: bench/message_writer.sh [BUILD_DIR] [RUNS]
# (BUILD_DIR defaults to build; the best of RUNS runs, default 3, is shown).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
runs=${2:-3}
bench=$build/bench/message_writer_bench
if [ ! -x "$bench" ]; then
    echo "missing $bench: build the target message_writer_bench first" >&2
    exit 1
fi
for tool in base64 mpack python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for mb in 10 100; do
    head -c $((mb * 1024 * 1024)) /dev/urandom > "$work/att$mb.mp3"
done

python3 - "$bench" "$work" "$runs" <<'PY'
import os, subprocess, sys, time
bench, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])

def measure(argv, stdout_path=None):
    """Best wall time (s) and the largest peak RSS (KiB) over the runs.
    Outputs are removed before each run so that no run pays for deleting the
    previous one; GNU time reports the RSS (a child of this interpreter
    would count the interpreter's pages from before its exec)."""
    best, rss = None, 0
    report = os.path.join(work, "rss")
    for _ in range(runs):
        for name in ("out", "out.eml"):
            if os.path.exists(os.path.join(work, name)):
                os.remove(os.path.join(work, name))
        sink = open(stdout_path, "wb") if stdout_path else subprocess.DEVNULL
        start = time.perf_counter()
        code = subprocess.call(["/usr/bin/time", "-f", "%M", "-o", report] + argv,
                               stdout=sink, stderr=subprocess.DEVNULL)
        wall = time.perf_counter() - start
        if stdout_path:
            sink.close()
        if code != 0:
            sys.exit("failed: " + " ".join(argv))
        best = wall if best is None else min(best, wall)
        with open(report) as f:
            rss = max(rss, int(f.read().split()[-1]))
    return best, rss

print(f"{'attachment':>10}  {'program':<28} {'wall ms':>9} {'MB/s':>8} {'peak RSS MiB':>13}")
for mb in (10, 100):
    att = os.path.join(work, f"att{mb}.mp3")
    out = os.path.join(work, "out")
    rows = [
        ("Quillet WriteToFile", [bench, att, os.path.join(work, "out.eml")], None),
        ("base64 -w 76 FILE > out", ["base64", "-w", "76", att], out),
        ("mpack -o out FILE", ["mpack", "-s", "bench", "-o", out, att], None),
    ]
    times = {}
    for name, argv, redirect in rows:
        wall, rss = measure(argv, redirect)
        times[name] = wall
        print(f"{mb:>7} MB  {name:<28} {wall * 1000:>9.1f} {mb / wall:>8.1f} {rss / 1024:>13.1f}")
    ratio = times["Quillet WriteToFile"] / times["base64 -w 76 FILE > out"]
    print(f"{'':>10}  Quillet / base64 = {ratio:.2f} (goal <= 1.20)")
PY
