#!/usr/bin/env bash
# Runs one test program on a private X server with a window manager and a
# private session bus. Without Xvfb the test is skipped (exit 77), except in
# CI, where a missing X server is a failure.
set -u
if ! command -v Xvfb >/dev/null 2>&1; then
  if [ -n "${CI:-}" ]; then
    echo "Xvfb is required in CI (scripts/install-deps installs xvfb)" >&2
    exit 1
  fi
  echo "SKIPPED: Xvfb is not installed; the X11 tests need xvfb, xauth, openbox, xclip, xsel and dbus" >&2
  exit 77
fi
if ! command -v dbus-run-session >/dev/null 2>&1; then
  if [ -n "${CI:-}" ]; then echo "dbus-run-session is required in CI" >&2; exit 1; fi
  echo "SKIPPED: dbus-run-session is not installed" >&2
  exit 77
fi
inner='
  wm=""
  if command -v openbox >/dev/null 2>&1; then
    openbox --sm-disable >/dev/null 2>&1 & wm=$!
    # The window manager announces itself on the root window; wait for it briefly.
    for _ in $(seq 50); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
      sleep 0.05
    done
  fi
  "$@"; rc=$?
  [ -n "$wm" ] && kill "$wm" 2>/dev/null
  exit $rc
'
# The server picks a free display number itself (-displayfd), so tests run in
# parallel (and other X servers on the machine) never race for one.
tmp=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$tmp/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 200); do
  [ -s "$tmp/display" ] && break
  sleep 0.05
done
if [ ! -s "$tmp/display" ]; then
  kill "$xvfb" 2>/dev/null
  rm -rf "$tmp"
  echo "Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$(head -n1 "$tmp/display")"
unset XAUTHORITY WAYLAND_DISPLAY
dbus-run-session -- bash -c "$inner" run-under-x "$@"
rc=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
rm -rf "$tmp"
exit $rc
