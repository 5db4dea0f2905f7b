#!/usr/bin/env bash
# Validates the desktop entry and the AppStream metainfo, installs the build
# into a staging directory and checks where each file lands, then starts the
# installed program from its read-only directory with private XDG dirs: its
# settings and recording directories appear there (mode 0700), a recording
# left there is found, and SIGTERM ends it. quillet-send lists the outbox
# in the data directory, and the outbox's systemd units run it.
# Usage: install_test.sh <source dir> <build dir>
set -euo pipefail
src=$1 build=$2
tmp=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null || true
  chmod -R u+w "$tmp" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Not even a hint (such as more than one main category, which lists the
# program in several menus).
hints=$(desktop-file-validate "$src/data/io.example.Quillet.desktop" 2>&1) || fail "desktop entry: $hints"
[ -z "$hints" ] || fail "desktop entry: $hints"
appstreamcli validate --no-net "$src/data/io.example.Quillet.metainfo.xml" || fail "metainfo"

DESTDIR=$tmp/stage cmake --install "$build" --prefix /usr >/dev/null
root=$tmp/stage/usr
# The manifest names every file, so that they can be removed by it.
diff <(cd "$tmp/stage" && find . ! -type d | sed 's|^\.||' | sort) <(sort "$build/install_manifest.txt") >&2 ||
  fail "install_manifest.txt is not the list of installed files (< not in it, > not installed)"
for f in lib/quillet/quillet lib/quillet/libmapi32.so lib/quillet/quillet.html \
         share/man/man1/quillet.1 \
         share/applications/io.example.Quillet.desktop \
         share/metainfo/io.example.Quillet.metainfo.xml \
         share/icons/hicolor/scalable/apps/io.example.Quillet.svg; do
  [ -f "$root/$f" ] || fail "not installed: $f"
done
[ "$(readlink "$root/bin/quillet")" = ../lib/quillet/quillet ] || fail "bin/quillet link"
[ -x "$root/bin/quillet" ] || fail "bin/quillet does not lead to the program"
if [ -f "$build/bin/quillet-send" ]; then
  [ -x "$root/bin/quillet-send" ] || fail "bin/quillet-send"
  [ -f "$root/share/man/man1/quillet-send.1" ] || fail "not installed: the quillet-send manual page"
  units=$root/lib/systemd/user
  grep -qx 'ExecStart=/usr/bin/quillet-send --flush' "$units/quillet-outbox.service" ||
    fail "quillet-outbox.service does not run quillet-send --flush"
  grep -qx 'OnCalendar=\*:0/15' "$units/quillet-outbox.timer" || fail "quillet-outbox.timer"
  if command -v systemd-analyze >/dev/null; then
    # Installed where its program exists on this machine, so systemd can
    # check the command too.
    cmake --install "$build" --prefix "$tmp/real" >/dev/null
    systemd-analyze verify --man=no "$tmp/real/lib/systemd/user/quillet-outbox.service" \
      "$tmp/real/lib/systemd/user/quillet-outbox.timer" || fail "systemd-analyze verify"
  fi
fi
for size in 16 22 24 32 48 64 128 256; do
  png=$root/share/icons/hicolor/${size}x${size}/apps/io.example.Quillet.png
  [ -f "$png" ] || fail "no ${size}x${size} icon"
  # Width and height are the big-endian words at bytes 16 and 20 of a PNG.
  dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
  [ "$dims" = "${size}x${size}" ] || fail "${size}x${size} icon is $dims"
done
desktop-file-validate "$root/share/applications/io.example.Quillet.desktop" >/dev/null ||
  fail "installed desktop entry"

# An installed program: its directory is read-only (for root too: no write bits).
chmod -R a-w "$root/lib/quillet"
mkdir -p "$tmp/home" "$tmp/data/quillet"
printf 'not a wave file' >"$tmp/data/quillet/Quillet.wav"
env -u QUILLET_SETTINGS_FILE HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" \
  XDG_DATA_HOME="$tmp/data" QT_QPA_PLATFORM=offscreen "$root/bin/quillet" \
  >"$tmp/out" 2>&1 &
pid=$!
for _ in $(seq 100); do
  [ -d "$tmp/config/quillet" ] && ! [ -f "$tmp/data/quillet/Quillet.wav" ] && break
  sleep 0.05
done
sleep 0.5
kill -0 "$pid" 2>/dev/null || fail "the program ended by itself: $(cat "$tmp/out")"
[ "$(stat -c %a "$tmp/config/quillet")" = 700 ] || fail "settings directory missing or not 0700"
[ "$(stat -c %a "$tmp/config")" = 700 ] || fail "a new XDG config dir is not 0700"
[ "$(stat -c %a "$tmp/data/quillet")" = 755 ] || fail "an existing directory keeps its mode"
ls "$tmp/data/quillet"/Quillet-*.wav >/dev/null 2>&1 ||
  fail "the unreadable recording in the data dir was not moved aside"
[ -z "$(find "$root/lib/quillet" -newer "$root/bin/quillet" -type f)" ] ||
  fail "files were written beside the installed program"
kill -TERM "$pid"
for _ in $(seq 60); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.05
done
if kill -0 "$pid" 2>/dev/null; then fail "still running 3 s after SIGTERM"; fi
wait "$pid" || fail "exit status $? after SIGTERM"
pid=
if [ -x "$root/bin/quillet-send" ]; then
  # The outbox of an installed program is in its data directory.
  entry=$tmp/data/quillet/outbox/20260101-000000-0000abcd
  mkdir -p "$entry"
  printf 'Quillet-Outbox: 1\nWay: SMTP\nSender: a@x.test\nRecipient: b@y.test\nTo: b@y.test\nSubject: Hi\nSize: 5\nCreated: 0\nAttempts: 1\nLast-Try: 0\nNext-Try: 0\nExpires: 0\nLast-Reply: later\n' >"$entry/envelope"
  listed=$(env -u QUILLET_OUTBOX_DIR HOME="$tmp/home" XDG_DATA_HOME="$tmp/data" \
    "$root/bin/quillet-send" --outbox) || fail "quillet-send --outbox"
  case $listed in 20260101-000000-0000abcd*b@y.test*Hi*later) ;; *) fail "outbox listed: $listed" ;; esac
fi
echo "install test passed"
