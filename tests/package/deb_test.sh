#!/usr/bin/env bash
# Checks the Debian package as a user gets it:
#  1. it holds what `cmake --install` installs, with the manual pages
#     compressed, and Debian's copyright and changelog; its Depends come
#     from dpkg-shlibdeps besides lame and xdg-utils;
#  2. `apt-get install ./quillet_*.deb` installs it into a throwaway
#     Debian 12 root that mmdebstrap makes from Debian's mirror with nothing
#     but apt in it, and without Recommends, so its Depends alone must do.
#     There, as a user who cannot write to the program's folder, the
#     installed quillet-send tells its version, and the installed program
#     shows its main window on an Xvfb display of this machine and ends on
#     SIGTERM. The root lies in this test's temporary folder, and its
#     /proc, /sys and /dev mounts in a mount namespace of their own, so that
#     even a killed run leaves no mount behind on this machine.
# Step 2 needs root, mmdebstrap, Xvfb, xwininfo and Debian's mirror
# (DEBIAN_MIRROR, DEBIAN_SECURITY_MIRROR); without one it says so and exits
# with 77 (skipped).
# Usage: deb_test.sh PACKAGE.deb BUILD_DIR
set -euo pipefail
fail() { echo "FAIL: $*" >&2; exit 1; }

if [ "${1:-}" = --in-root ]; then
  # Run by mmdebstrap as a hook, with the new root as $2, and the package and
  # the display in the environment.
  root=$2 deb=$QUILLET_DEB display=$QUILLET_DEB_DISPLAY log=$QUILLET_DEB_LOG
  name=$(basename "$deb")
  version=$(dpkg-deb -f "$deb" Version)
  cp "$deb" "$root/tmp/$name"
  chroot "$root" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "./tmp/$name" >"$log/apt.log" 2>&1 ||
    { tail -30 "$log/apt.log"; fail "apt-get install ./$name"; }
  grep -E 'newly installed|^Need to get' "$log/apt.log"

  # A desktop user: no write access to /usr/lib/quillet.
  user=(chroot --userspec=65534:65534 "$root" env -i PATH=/usr/bin:/bin
        HOME=/tmp/home LANG=C.UTF-8 DISPLAY=":$display" QT_QPA_PLATFORM=xcb)
  # A user who has given a name already: the first start asks for one in a
  # modal dialog before it shows the main window.
  mkdir -p "$root/tmp/home/.config/quillet"
  printf '[User]\nName=Test\n' >"$root/tmp/home/.config/quillet/quillet.ini"
  chown -R 65534:65534 "$root/tmp/home"
  said=$("${user[@]}" quillet-send --version) || fail "quillet-send --version"
  [ "$said" = "quillet-send $version" ] || fail "quillet-send --version said: $said"
  # The catalogues came along and are found from the installed program.
  said=$("${user[@]}" LANG=de_DE.UTF-8 quillet-send --help) || fail "quillet-send --help"
  [[ $said == "Aufruf: quillet-send"* ]] || fail "German quillet-send --help said: ${said%%$'\n'*}"

  "${user[@]}" quillet >"$log/quillet.log" 2>&1 &
  pid=$!
  trap 'kill -KILL $pid 2>/dev/null || true' EXIT
  window=
  for _ in $(seq 600); do  # up to a minute, on two busy cores
    kill -0 "$pid" 2>/dev/null || fail "quillet ended by itself: $(cat "$log/quillet.log")"
    # UTF-8, or xwininfo cannot print the title's dash. Read whole, as a
    # reader that stops early would fail the pipe (pipefail).
    tree=$(LC_ALL=C.UTF-8 xwininfo -display ":$display" -root -tree 2>/dev/null) || true
    window=$(sed -n 's/^ *\(0x[0-9a-f]*\) "Quillet [0-9][^"]*": ("quillet" .*/\1/p' <<<"$tree")
    if [ -n "$window" ]; then
      state=$(xwininfo -display ":$display" -id "$window" 2>/dev/null) || true
      [[ $state == *"Map State: IsViewable"* ]] && break
      window=
    fi
    sleep 0.1
  done
  [ -n "$window" ] || fail "no main window within a minute: $(cat "$log/quillet.log")"
  echo "the installed quillet shows its main window ($window)"
  kill -TERM "$pid"
  for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "quillet still runs 30 s after SIGTERM"
  wait "$pid" || fail "quillet's exit status after SIGTERM: $?"
  trap - EXIT
  exit 0
fi

deb=$(realpath "$1") build=$2
tmp=$(mktemp -d)
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# 1. What is in it.
DESTDIR=$tmp/stage cmake --install "$build" --prefix /usr >/dev/null
{
  (cd "$tmp/stage" && find . ! -type d) | sed 's|^\.||; s|^/usr/share/man/.*|&.gz|'
  echo /usr/share/doc/quillet/copyright
  echo /usr/share/doc/quillet/changelog.gz
} | sort >"$tmp/expected"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | sort >"$tmp/packed"
diff -u "$tmp/expected" "$tmp/packed" >&2 ||
  fail "the package does not hold what cmake --install installs (- missing, + extra)"
depends=$(dpkg-deb -f "$deb" Depends)
for d in libc6 libqt6widgets6 libasound2 lame xdg-utils; do
  [[ ", $depends," == *", $d"[\ ,]* ]] || fail "Depends lacks $d: $depends"
done
echo "package holds the installed files; Depends: $depends"

# 2. Installed on Debian 12.
skip() { echo "SKIP: the install into a throwaway Debian 12 root: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "needs root (mmdebstrap mounts /proc and /dev in it)"
for tool in mmdebstrap Xvfb xwininfo curl; do
  command -v $tool >/dev/null || skip "$tool is not installed (scripts/deps installs it)"
done
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
security=${DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security}
curl -fsS --max-time 30 -o /dev/null "$mirror/dists/bookworm/InRelease" ||
  skip "Debian's mirror $mirror cannot be reached"

# Xvfb tells the display it took once it listens.
mkfifo "$tmp/display"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb=$!
read -r display <"$tmp/display" || fail "Xvfb did not start: $(cat "$tmp/xvfb.log")"

mkdir "$tmp/log"
export QUILLET_DEB=$deb QUILLET_DEB_DISPLAY=$display QUILLET_DEB_LOG=$tmp/log
self=$(realpath "$0")
start=$SECONDS
TMPDIR=$tmp unshare --mount --propagation private \
  mmdebstrap --mode=root --variant=apt --format=null --quiet \
  --aptopt='Acquire::Retries "3"' \
  --customize-hook="\"$self\" --in-root \"\$1\"" \
  bookworm /dev/null \
  "deb $mirror bookworm main" "deb $mirror bookworm-updates main" \
  "deb $security bookworm-security main" ||
  fail "the install into a throwaway Debian 12 root (above)"
echo "installed and started in a throwaway Debian 12 root in $((SECONDS - start)) s"
