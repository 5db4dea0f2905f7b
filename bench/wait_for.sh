# Sourced by the side-by-side scripts (POSIX sh).

# wait_for FILE MESSAGE: waits up to 5 s for a helper just started in the
# background to write FILE (its port, say); prints MESSAGE and exits 1 if
# it does not.
wait_for() {
    n=0
    until [ -s "$1" ]; do
        n=$((n + 1)); [ $n -lt 100 ] || { echo "$2" >&2; exit 1; }
        sleep 0.05
    done
}
