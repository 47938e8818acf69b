#!/usr/bin/env bash
# The program on headless Sway: it picks the Wayland clipboard, says so on its
# status line, and cleans a copy (its link loses a tracking parameter) that
# wl-paste then gets, whether Xwayland runs beside it (DZ_SWAY_XWAYLAND=1) or
# not, in which case it does without the services that need an X display.
# Run by run-under-sway.sh.
set -u
set -m  # the program in a process group of its own, so that all of it stops
program=$1
home=$(mktemp -d)
log="$home/log"
# Not a first start: that opens the settings window, and copies made while
# our own window is in front are left alone.
mkdir -p "$home/config/dozuzavuvu"
echo '{}' >"$home/config/dozuzavuvu/settings.v1"
as_user=()
if [ -n "${DZ_SWAY_USER:-}" ]; then
  chown -R "$DZ_SWAY_USER" "$home"
  as_user=(runuser -u "$DZ_SWAY_USER" --)
fi
"${as_user[@]}" env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
  dbus-run-session -- "$program" >"$log" 2>&1 &
pid=$!
expected="Wayland (sway): copies and pastes of every application."
found=""
for _ in $(seq 150); do
  if grep -qF "$expected" "$log"; then found=1; break; fi
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
failure=""
[ -n "$found" ] || failure="the program did not report the Wayland backend"
# pasted TEXT: whether wl-paste gets TEXT within 10 s while the program runs.
pasted() {
  for _ in $(seq 100); do
    [ "$(wl-paste --no-newline 2>/dev/null)" = "$1" ] && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
if [ -z "$failure" ]; then
  # wl-copy leaves a process of its own holding the selection.
  wl-copy 'Read https://example.com/a?utm_source=news&id=7'
  if ! pasted "Read https://example.com/a?id=7"; then
    failure="the copy was not cleaned"
  else
    # wl-copy offers the markup under the text types as well: still an HTML copy.
    wl-copy --type text/html '<p>Hello <b>there</b></p>'
    pasted "Hello there" || failure="the HTML copy was not converted: $(wl-paste --no-newline 2>/dev/null) [$(wl-paste --list-types 2>/dev/null | tr "\n" " ")]"
  fi
  if [ -z "$failure" ] && ! kill -0 "$pid" 2>/dev/null; then
    failure="the program left"
  fi
fi
kill -- -"$pid" 2>/dev/null
wait "$pid" 2>/dev/null
if [ -n "$failure" ]; then
  echo "$failure; its output:" >&2
  cat "$log" >&2
  rm -rf "$home"
  exit 1
fi
rm -rf "$home"
echo "status: $expected"
