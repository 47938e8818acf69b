#!/usr/bin/env bash
# The program end to end on a private X display (run by run-under-x.sh): a
# rich copy is cleaned, a paste into an application with a Markdown rule gets
# Markdown, and a second start hands its addresses to the running program.
set -u
program=$1
here=$(cd "$(dirname "$0")/../.." && pwd)
# A whole Qt program's exit is not where our leaks would show.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
fail() { echo "FAIL: $*" >&2; exit 1; }

out=$(DZ_DEMO_INSIDE=1 bash "$here/scripts/run-desktop" "$program" 2>&1)
echo "$out"
plain=$(sed -n '/== the clipboard now/,/== pasted into xsel/p' <<<"$out")
markdown=$(sed -n '/== pasted into xsel/,$p' <<<"$out")
grep -q 'Tide pools are busy places. See the tide tables.' <<<"$plain" || fail "the copy was not cleaned to plain text"
grep -q '\*\*busy\*\*' <<<"$markdown" || fail "the Markdown rule did not apply to xsel"
grep -q '(https://example.org/tides)' <<<"$markdown" || fail "the link kept its tracking parameters"

work=$(mktemp -d)
trap 'kill ${pid:-} 2>/dev/null; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_CONFIG_HOME/dozuzavuvu" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
echo '{}' >"$XDG_CONFIG_HOME/dozuzavuvu/settings.v1"
"$program" >"$work/log" 2>&1 & pid=$!
for _ in $(seq 100); do
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
    string:dev.dozuzavuvu 2>/dev/null | grep -q true && break
  sleep 0.05
done
"$program" 'dozuzavuvu://disable' 'dozuzavuvu://format?set=Links' || fail "the second start did not forward"
sleep 0.5
settings=$(cat "$XDG_CONFIG_HOME/dozuzavuvu/settings.v1")
grep -q '"autoClean":false' <<<"$settings" || fail "disable did not reach the running program: $settings"
grep -q '"defaultFormat":"links"' <<<"$settings" || fail "format?set=Links did not reach the running program"
kill -TERM "$pid"
wait "$pid" || true
echo "ok"
