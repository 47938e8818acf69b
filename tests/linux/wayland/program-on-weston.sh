#!/usr/bin/env bash
# The program on a headless Weston without Xwayland: a desktop that offers
# neither data-control nor an X display. It must stay up, say on its status
# line that copies are not cleaned, open its settings window on a second
# start (without a tray host) and obey an address from a third. Skipped (77)
# outside CI when Weston is missing.
set -u
set -m  # the program in a process group of its own, so that all of it stops
program=$1
if ! command -v weston >/dev/null 2>&1; then
  if [ -n "${CI:-}" ]; then echo "weston is not installed (required in CI)" >&2; exit 1; fi
  echo "SKIPPED: weston is not installed" >&2
  exit 77
fi
. "$(dirname "$0")/lib.sh"
# A whole Qt program's exit is not where our leaks would show.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
work=$(mktemp -d)
mkdir -m 0700 "$work/runtime"
dz_work=$work dz_log=$work/program.log
trap dz_finish EXIT

env -i PATH="$PATH" HOME="$work" XDG_RUNTIME_DIR="$work/runtime" \
  weston --backend=headless-backend.so --socket=wayland-dz --idle-time=0 >"$work/weston.log" 2>&1 &
dz_pids+=($!)
if ! until_true 20 test -S "$work/runtime/wayland-dz"; then
  echo "weston did not start:" >&2
  cat "$work/weston.log" >&2
  exit 1
fi

unset DISPLAY DZ_BACKEND
export XDG_RUNTIME_DIR="$work/runtime" WAYLAND_DISPLAY=wayland-dz XDG_SESSION_TYPE=wayland \
  XDG_CURRENT_DESKTOP=Weston HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
# One session bus for all three starts, so that the later ones find the first.
dbus-daemon --session --nofork --print-address=3 --address="unix:path=$work/bus" 3>"$work/bus-address" \
  >/dev/null 2>&1 &
dz_pids+=($!)
until_true 10 test -s "$work/bus-address" || fail "no session bus"
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus-address")

"$program" >"$dz_log" 2>&1 &
first=$!
dz_pids+=($first)
expected="Wayland (Weston): this desktop gives other programs no access to the clipboard, so copies are not cleaned."
until_true 30 grep -qF "$expected" "$dz_log" || fail "no status line saying copies are not cleaned"
settings=$work/config/dozuzavuvu/settings.v1
until_true 10 test -s "$settings" || fail "no settings written at start"

# No tray host on this bus: a second start opens the settings window.
timeout 20 "$program" >>"$dz_log" 2>&1 || fail "the second start did not hand over"
sleep 1
kill -0 "$first" 2>/dev/null || fail "the program left after opening its settings window"
timeout 20 "$program" 'dozuzavuvu://format?set=markdown' >>"$dz_log" 2>&1 ||
  fail "the third start did not hand over its address"
until_true 10 grep -qF '"defaultFormat":"markdown"' "$settings" || fail "the address was not obeyed"
kill -0 "$first" 2>/dev/null || fail "the program left"
kill -TERM "$first"
wait "$first"
status=$?
[ "$status" -eq 0 ] || fail "the program ended with $status at SIGTERM"
echo "status: $expected"
