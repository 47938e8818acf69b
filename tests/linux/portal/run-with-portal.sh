#!/usr/bin/env bash
# Runs one test program on a private session bus with the stand-in portal
# (fake-portal.py, system Python with python3-dbus and python3-gi). Without
# them the test is skipped (exit 77), except in CI.
set -u
here=$(cd "$(dirname "$0")" && pwd)
missing=""
command -v dbus-run-session >/dev/null 2>&1 || missing="dbus-run-session"
/usr/bin/python3 -c 'import dbus, gi' >/dev/null 2>&1 || missing="$missing python3-dbus/python3-gi"
if [ -n "$missing" ]; then
  if [ -n "${CI:-}" ]; then echo "required in CI: $missing" >&2; exit 1; fi
  echo "SKIPPED: $missing not installed" >&2
  exit 77
fi
inner='
  /usr/bin/python3 "$0" > "$PORTAL_READY" 2>&1 & portal=$!
  for _ in $(seq 100); do grep -q ready "$PORTAL_READY" 2>/dev/null && break; sleep 0.05; done
  "$@"; rc=$?
  kill "$portal" 2>/dev/null
  exit $rc
'
tmp=$(mktemp -d)
export PORTAL_READY="$tmp/ready"
dbus-run-session -- bash -c "$inner" "$here/fake-portal.py" "$@"
rc=$?
rm -rf "$tmp"
exit $rc
