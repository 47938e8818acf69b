# Helpers for driving the desktop program on a private display (sourced by
# the desktop tests and the footprint measurements). Each caller gets its own
# settings folder and runtime folder; everything started here is ended on exit.

dz_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
dz_python=/usr/bin/python3  # Debian's, with its D-Bus modules
# A whole Qt program's exit is not where our leaks would show.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

dz_pids=()
dz_work=$(mktemp -d)
export XDG_CONFIG_HOME=$dz_work/config XDG_RUNTIME_DIR=$dz_work/run
mkdir -p "$XDG_CONFIG_HOME/dozuzavuvu" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
dz_settings_file=$XDG_CONFIG_HOME/dozuzavuvu/settings.v1
dz_tray_log=$dz_work/tray.log

dz_cleanup() {
  local pid
  for pid in "${dz_pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${dz_pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$dz_work"
}
trap dz_cleanup EXIT

dz_fail() {
  echo "FAIL: $*" >&2
  if [ -s "$dz_work/program.log" ]; then
    echo "== what the program printed" >&2
    cat "$dz_work/program.log" >&2
  fi
  exit 1
}

# dz_until SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds;
# fails when it never does within SECONDS.
dz_until() {
  local limit=$1 start=$SECONDS
  shift
  until "$@" >/dev/null 2>&1; do
    [ $((SECONDS - start)) -ge "$limit" ] && return 1
    sleep 0.05
  done
}

dz_write_settings() { printf '%s\n' "$1" >"$dz_settings_file"; }

# dz_setting KEY: a top-level value of the settings file, as JSON.
dz_setting() {
  "$dz_python" -c 'import json, sys; print(json.dumps(json.load(open(sys.argv[1])).get(sys.argv[2])))' \
    "$dz_settings_file" "$1"
}

# dz_setting_is KEY JSON: whether the stored value is JSON (e.g. false, "markdown").
dz_setting_is() { [ "$(dz_setting "$1" 2>/dev/null)" = "$2" ]; }

dz_bus_name_owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
    "string:$1" 2>/dev/null | grep -q true
}

# The stand-in tray host; it must own its name before the program starts.
# dz_start_tray [light|dark]: with a scheme, it answers the settings portal too.
dz_start_tray() {
  "$dz_python" "$dz_here/fake-tray.py" watch "$dz_tray_log" "$@" >"$dz_work/tray.out" 2>&1 &
  dz_pids+=($!)
  dz_until 10 dz_bus_name_owned org.kde.StatusNotifierWatcher || dz_fail "the fake tray host did not start"
}

dz_tray() { "$dz_python" "$dz_here/fake-tray.py" "$@"; }

# The stand-in notification service; each notice's text becomes a line of
# dz_notices_log.
dz_notices_log=$dz_work/notices.log
dz_start_notices() {
  "$dz_python" "$dz_here/fake-notices.py" "$dz_notices_log" >"$dz_work/notices.out" 2>&1 &
  dz_pids+=($!)
  dz_until 10 dz_bus_name_owned org.freedesktop.Notifications || dz_fail "the fake notification service did not start"
}
dz_noticed() { grep -qxF -- "$1" "$dz_notices_log"; }

dz_registrations() { grep -c '^registered' "$dz_tray_log" 2>/dev/null || true; }
dz_registered() { [ "$(dz_registrations)" -ge "$1" ]; }

# dz_wait_tray N: until the tray host has seen N registrations in all.
dz_wait_tray() { dz_until 20 dz_registered "$1" || dz_fail "no tray item registered (expected $1)"; }

# dz_start_program PROGRAM [ARGS...]: starts it and waits until it owns its
# bus name; its process id is in dz_program_pid.
dz_start_program() {
  "$@" >>"$dz_work/program.log" 2>&1 &
  dz_program_pid=$!
  dz_pids+=("$dz_program_pid")
  dz_until 30 dz_bus_name_owned dev.dozuzavuvu || dz_fail "the program did not start"
}

# Waits for the program to end by itself; it must end well.
dz_wait_program() {
  local rc=0
  dz_until 20 eval '! dz_bus_name_owned dev.dozuzavuvu' || dz_fail "the program did not quit"
  wait "$dz_program_pid" 2>/dev/null || rc=$?
  [ "$rc" -eq 0 ] || dz_fail "the program ended with status $rc"
}

# Ends the program as logging out does.
dz_stop_program() {
  kill -TERM "$dz_program_pid" 2>/dev/null
  dz_wait_program
}

# dz_menu_has LINE: whether the tray menu shows exactly this line (see fake-tray.py menu).
dz_menu_has() { dz_tray menu | grep -xF -- "$1" >/dev/null; }
dz_tooltip_has() { dz_tray tooltip | grep -xF -- "$1" >/dev/null; }
