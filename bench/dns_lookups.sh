#!/bin/sh
# 1000 sequential MX lookups against a local dnsmasq: TNetDNSResolver
# (dns_lookups_bench) beside dig -f with the same 1000 queries.
# Usage: bench/dns_lookups.sh [BUILD_DIR]   (default: build). Loopback only.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
bench=$build/bench/dns_lookups_bench
count=1000
domain=mail.test
[ -x "$bench" ] || { echo "build dns_lookups_bench first (ninja -C $build dns_lookups_bench)" >&2; exit 2; }
[ -x /usr/sbin/dnsmasq ] || { echo "dnsmasq is not installed" >&2; exit 2; }
command -v dig >/dev/null || { echo "dig is not installed" >&2; exit 2; }

work=$(mktemp -d)
pid=
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT INT TERM

port=$(python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat > "$work/dnsmasq.conf" <<CONF
local=/test/
mx-host=$domain,mx1.$domain,10
mx-host=$domain,mx2.$domain,20
host-record=mx1.$domain,127.0.0.11
host-record=mx2.$domain,127.0.0.12
CONF
/usr/sbin/dnsmasq --keep-in-foreground --no-resolv --no-hosts --bind-interfaces \
    --listen-address=127.0.0.1 --port="$port" --conf-file="$work/dnsmasq.conf" \
    --pid-file= --user= --log-facility="$work/log" &
pid=$!
i=0
until dig @127.0.0.1 -p "$port" +tries=1 +time=1 +short "$domain" MX >/dev/null 2>&1; do
    i=$((i + 1)); [ $i -lt 50 ] || { echo "dnsmasq did not answer" >&2; exit 1; }
    sleep 0.1
done

set -- $("$bench" "$port" "$domain" "$count")
r_median=$1 r_p99=$2 r_mean=$3

i=0; : > "$work/batch"
while [ $i -lt $count ]; do echo "$domain MX" >> "$work/batch"; i=$((i + 1)); done
start=$(date +%s%N)
dig @127.0.0.1 -p "$port" +tries=1 +time=2 -f "$work/batch" > "$work/dig.out"
end=$(date +%s%N)
answered=$(grep -c 'status: NOERROR' "$work/dig.out" || true)
[ "$answered" -eq $count ] || { echo "dig got $answered of $count answers" >&2; exit 1; }
d_mean=$(awk -v ns=$((end - start)) -v n=$count 'BEGIN { printf "%.1f", ns / 1000 / n }')
# dig reports each query's time in whole milliseconds only.
set -- $(grep '^;; Query time:' "$work/dig.out" | awk '{ print $4 * 1000 }' | sort -n |
         awk '{ v[NR] = $1 } END { m = int(NR / 2) + 1; p = int(NR * 0.99); if (p < 1) p = 1; print v[m], v[p] }')
d_median=$1 d_p99=$2

printf '%s sequential MX lookups of %s against dnsmasq on 127.0.0.1:%s\n' "$count" "$domain" "$port"
printf '%-24s %12s %12s %12s\n' "per lookup (us)" median p99 mean
printf '%-24s %12s %12s %12s\n' "ResolveDomain" "$r_median" "$r_p99" "$r_mean"
printf '%-24s %12s %12s %12s\n' "dig -f (ms resolution)" "$d_median" "$d_p99" "$d_mean"
awk -v r="$r_median" -v d="$d_mean" 'BEGIN {
    printf "goal: median <= 60 us: %s; faster than dig -f (mean %s us): %s\n",
        (r <= 60 ? "met" : "NOT met"), d, (r < d ? "yes" : "NO") }'
