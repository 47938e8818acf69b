#!/usr/bin/env bash
# A one-shot paste on headless Sway with Xwayland: after an HTML copy, the
# program is given dozuzavuvu://paste-markdown; the native window in front
# (dz_paste_client) must paste the Markdown through the program's virtual
# keyboard, and the clipboard must afterwards hold what it held before. Run by
# run-under-sway.sh (DZ_SWAY_XWAYLAND=1) as
#   one-shot-on-sway.sh PROGRAM PASTE_CLIENT
# The program and its second start share one session bus, so the whole case
# runs inside dbus-run-session, as Sway's user where Xwayland admits no other.
set -u
if [ "${1:-}" != --inside ]; then
  home=$(mktemp -d)
  as_user=()
  if [ -n "${DZ_SWAY_USER:-}" ]; then
    chown "$DZ_SWAY_USER" "$home"
    as_user=(runuser -u "$DZ_SWAY_USER" --)
  fi
  "${as_user[@]}" env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    dbus-run-session -- bash "$0" --inside "$home" "$@"
  rc=$?
  rm -rf "$home"
  exit $rc
fi

# Qt's Wayland platform leaves its objects to the process's end (as the
# desktop tests, which say the same of the program).
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
set -m  # each background job in a process group of its own, so that all of it stops
home=$2 program=$3 client=$4
log=$home/program.log out=$home/client.out
program_pid="" client_pid=""
finish() {
  [ -n "$client_pid" ] && kill "$client_pid" 2>/dev/null
  [ -n "$program_pid" ] && kill -- -"$program_pid" 2>/dev/null
  wait 2>/dev/null
}
fail() {
  echo "FAIL: $1" >&2
  echo "--- the program's output:" >&2
  cat "$log" >&2
  echo "--- the windows:" >&2
  swaymsg -t get_tree | grep -E '"(name|focused)"' >&2
  echo "--- the window's output:" >&2
  cat "$out" >&2
  finish
  exit 1
}
# tries the command after $1 up to that many times, a tenth of a second apart, until it succeeds
within() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
pasted_text() { wl-paste --no-newline --type 'text/plain;charset=utf-8' 2>/dev/null; }
clipboard_holds() { test "$(pasted_text)" = "$1"; }

"$program" >"$log" 2>&1 &
program_pid=$!
within 150 grep -qF "Wayland (sway): copies and pastes of every application." "$log" ||
  fail "the program did not start on the Wayland clipboard"
grep -q "no virtual keyboard" "$log" && fail "the program found no virtual keyboard"

# Without a tray host the program shows its settings window at start: the
# window under test comes after it, so that Sway gives it the focus, and the
# keys of the program's virtual keyboard (which gives the seat its keyboard).
export SWAYSOCK
SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock 2>/dev/null | head -n1)
within 100 sh -c 'swaymsg -t get_tree | grep -q "\"app_id\": \"dev.dozuzavuvu\""'
"$client" one-shot-target >"$out" 2>&1 &
client_pid=$!
within 100 grep -qx focused "$out" || fail "the window got no keyboard focus"
swaymsg -q '[title="^one-shot-target$"] focus' || fail "the window could not be focused"

wl-copy --type text/html '<p>Hello <b>world</b></p>'
# Cleaned on copy (the program marks what it wrote): that is what the
# clipboard holds before the one-shot, and after it.
within 100 sh -c "wl-paste --list-types | grep -qx application/x-dozuzavuvu-processed" ||
  fail "the HTML copy was not cleaned"
before=$(pasted_text)
types_before=$(wl-paste --list-types | sort)

"$program" dozuzavuvu://paste-markdown || fail "the address did not reach the program"
within 100 grep -qE "^(paste:|no text)" "$out" || fail "nothing was pasted into the window"
pasted=$(grep '^paste:' "$out" | head -n1)
[ "$pasted" = "paste:Hello **world**" ] || fail "the window pasted '${pasted#paste:}', not the Markdown"

within 80 clipboard_holds "$before" || fail "the clipboard was not put back: '$(pasted_text)', not '$before'"
[ "$(wl-paste --list-types | sort)" = "$types_before" ] || fail "the clipboard's types changed"
[ "$(grep -c '^paste:' "$out")" = 1 ] || fail "the window pasted more than once"
echo "pasted: ${pasted#paste:}; the clipboard holds '$before' again"
finish
exit 0
