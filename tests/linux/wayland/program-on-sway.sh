#!/usr/bin/env bash
# The program on headless Sway with Xwayland: it picks the Wayland clipboard
# and says so on its status line. Run by run-under-sway.sh (DZ_SWAY_XWAYLAND=1).
set -u
set -m  # the program in a process group of its own, so that all of it stops
program=$1
home=$(mktemp -d)
log="$home/log"
as_user=()
if [ -n "${DZ_SWAY_USER:-}" ]; then
  chown "$DZ_SWAY_USER" "$home"
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
kill -- -"$pid" 2>/dev/null
wait "$pid" 2>/dev/null
if [ -z "$found" ]; then
  echo "the program did not report the Wayland backend; its output:" >&2
  cat "$log" >&2
  rm -rf "$home"
  exit 1
fi
rm -rf "$home"
echo "status: $expected"
