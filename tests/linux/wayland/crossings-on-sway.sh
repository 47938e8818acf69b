#!/usr/bin/env bash
# Copies and pastes crossing between X11 and Wayland through Sway's Xwayland,
# with the program on the Wayland clipboard: an X11 HTML copy is cleaned and
# wl-paste gets the clean text; a Wayland copy is cleaned and an X11 reader
# gets it; a paste rule for wl-paste gives it Markdown while the X11 reader
# gets plain text. Sway lets X11 clients at the clipboard only while an X11
# window has focus, so one is mapped and focused first. Run by
# run-under-sway.sh with DZ_SWAY_XWAYLAND=1.
set -u
set -m  # the program in a process group of its own, so that all of it stops
program=$1
command -v xclip >/dev/null 2>&1 || { echo "SKIPPED: xclip is not installed" >&2; exit 77; }
command -v xmessage >/dev/null 2>&1 || { echo "SKIPPED: xmessage is not installed" >&2; exit 77; }
. "$(dirname "$0")/lib.sh"
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
home=$(mktemp -d)
mkdir -p "$home/config/dozuzavuvu"
# Xwayland admits Sway's user only: the program and the X11 clients run as
# that user, and so does the wl-paste the rule is for (its process must be
# readable to the program's scan for the reader of a transfer).
as_user=()
if [ -n "${DZ_SWAY_USER:-}" ]; then
  as_user=(runuser -u "$DZ_SWAY_USER" --)
fi
dz_work=$home dz_log=$home/log
trap dz_finish EXIT
user_env=(env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data")
cat >"$home/config/dozuzavuvu/settings.v1" <<'JSON'
{"autoClean": true, "defaultFormat": "plain",
 "rules": [{"id": "2F6A1C3E-0B7D-4C55-9E1A-6B1E2D3C4F50", "direction": "destination", "kind": "app",
            "bundleID": "wl-paste", "name": "wl-paste", "website": "", "format": "markdown",
            "fixPDF": false, "enabled": true}]}
JSON
[ -n "${DZ_SWAY_USER:-}" ] && chown -R "$DZ_SWAY_USER" "$home"

sock=""
for s in "$XDG_RUNTIME_DIR"/sway-ipc.*.sock; do [ -S "$s" ] && sock=$s; done
[ -n "$sock" ] || fail "no Sway IPC socket in $XDG_RUNTIME_DIR"
export SWAYSOCK=$sock

"${as_user[@]}" "${user_env[@]}" dbus-run-session -- "$program" >"$dz_log" 2>&1 &
dz_pids+=($!)
program_pid=$!
"${as_user[@]}" xmessage -name dzfocus -title dzfocus 'X11 window with focus' >/dev/null 2>&1 &
dz_pids+=($!)
until_true 20 swaymsg '[title="dzfocus"] focus' || fail "the X11 window was never there to focus"
until_true 30 grep -qF 'Wayland (sway): copies and pastes of every application.' "$dz_log" ||
  fail "the program did not report the Wayland backend"

x_paste=("${as_user[@]}" xclip -o -selection clipboard -t UTF8_STRING)
rule_paste=("${as_user[@]}" wl-paste --type text/plain)

# (a) X11 → Wayland: an HTML-only copy from xclip, cleaned; wl-paste (as
# root, out of the program's sight, so no rule) gets the plain text.
printf '<p>Hello <b>there</b></p>' | "${as_user[@]}" xclip -selection clipboard -t text/html -i
expect 20 "Hello there" wl-paste --type text/plain || fail "the X11 HTML copy was not cleaned for wl-paste"

# (c) The rule for wl-paste gives it Markdown; the X11 reader, whose
# transfer is the compositor's, gets plain text.
expect 10 "Hello **there**" "${rule_paste[@]}" || fail "the rule for wl-paste did not give it Markdown"
expect 10 "Hello there" "${x_paste[@]}" || fail "the X11 reader did not get plain text"

# (b) Wayland → X11: a copy from wl-copy, cleaned, read by xclip.
wl-copy 'Read https://example.com/a?utm_source=news&id=7'
expect 20 "Read https://example.com/a?id=7" "${x_paste[@]}" ||
  fail "the Wayland copy was not cleaned for the X11 reader"

kill -0 "$program_pid" 2>/dev/null || fail "the program left"
echo "crossings: X11 to Wayland, Wayland to X11, and a rule for a Wayland paster beside an X11 one"
