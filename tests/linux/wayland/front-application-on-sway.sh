#!/usr/bin/env bash
# The program on the X11 clipboard through Sway's Xwayland, as on a desktop
# without data-control: a native Wayland paste reaches it from the
# compositor's own X11 window, and the application in front, as the
# accessibility bus tells it, is taken for the paster. A rule gives the Qt
# window's application Markdown: wl-paste gets it while that window is in
# front, and plain text while an X11 window is. Run by run-under-sway.sh with
# DZ_SWAY_XWAYLAND=1.
set -u
set -m
program=$1
window=$2
for tool in xclip xmessage swaymsg; do
  command -v $tool >/dev/null 2>&1 || { echo "SKIPPED: $tool is not installed" >&2; exit 77; }
done
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/config/dozuzavuvu"
cat >"$home/config/dozuzavuvu/settings.v1" <<'JSON'
{"autoClean": true, "defaultFormat": "plain",
 "rules": [{"id": "5C0E7B1A-3D2F-4A6B-8C9D-0E1F2A3B4C5D", "direction": "destination", "kind": "app",
            "bundleID": "dz_atspi_window", "name": "dz_atspi_window", "website": "", "format": "markdown",
            "fixPDF": false, "enabled": true}]}
JSON
for s in "$XDG_RUNTIME_DIR"/sway-ipc.*.sock; do [ -S "$s" ] && export SWAYSOCK=$s; done
[ -n "${SWAYSOCK:-}" ] || { echo "no Sway IPC socket" >&2; exit 1; }

# Everything on one session bus (the accessibility bus hangs off it), as
# Sway's user, whom Xwayland admits.
cat >"$home/session.sh" <<'SESSION'
set -u
home=$1 program=$2 window=$3
export HOME=$home XDG_CONFIG_HOME=$home/config DZ_BACKEND=x11
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done' EXIT
. "$home/lib.sh"
dz_log=$home/log
"$program" >"$home/log" 2>&1 &
pids+=($!)
xmessage -name dzfocus -title dzfocus 'X11 window' >/dev/null 2>&1 &
pids+=($!)
QT_QPA_PLATFORM=wayland "$window" >/dev/null 2>&1 &
pids+=($!)
until_true 30 grep -qF "Wayland (sway): this desktop lets other programs see copies only while an X11 window is active." \
  "$home/log" || fail "the program is not on the X11 clipboard"
# Both windows mapped before the copy: a window that maps later takes the
# focus, and with it Sway's leave for the X11 side to hand the copy over.
until_true 30 swaymsg '[title="dz-atspi-window"] focus' || fail "the Qt window was never there to focus"
until_true 20 swaymsg '[title="dzfocus"] focus' || fail "the X11 window was never there to focus"
printf '<p>Hello <b>there</b></p>' | xclip -selection clipboard -t text/html -i
expect 20 "Hello there" xclip -o -selection clipboard -t UTF8_STRING || fail "the copy was not cleaned"
# An X11 window in front: no application the bus knows is active.
expect 10 "Hello there" wl-paste --type text/plain || fail "wl-paste with the X11 window in front"
# Each paste asks again, however soon after the last one it comes: well
# within the 2 s an answer to the compositor's window is kept.
swaymsg '[title="dz-atspi-window"] focus' >/dev/null || fail "could not focus the Qt window"
expect 1 "Hello **there**" wl-paste --type text/plain || fail "the rule for the application in front"
swaymsg '[title="dzfocus"] focus' >/dev/null || fail "could not focus the X11 window again"
expect 1 "Hello there" wl-paste --type text/plain || fail "wl-paste with the X11 window back in front"
echo "the application in front took the compositor's paste"
SESSION
# Read by Sway's user, who may not reach the source tree.
cp "$(dirname "$0")/lib.sh" "$home/lib.sh"
chown -R "${DZ_SWAY_USER:-$(id -un)}" "$home"
as_user=()
[ -n "${DZ_SWAY_USER:-}" ] && as_user=(runuser -u "$DZ_SWAY_USER" --)
"${as_user[@]}" dbus-run-session -- bash "$home/session.sh" "$home" "$program" "$window"
