#!/usr/bin/env bash
# After the Debian package is installed: the installed program starts, and a
# dozuzavuvu:// address opened with xdg-open reaches the running instance
# through the installed desktop file. Runs under tests/linux/x11/run-under-x.sh.
set -u
fail() { echo "FAIL: $*" >&2; exit 1; }
program=/usr/bin/dozuzavuvu
entry=/usr/share/applications/dev.dozuzavuvu.desktop
[ -x "$program" ] || fail "$program is not installed"
[ -f "$entry" ] || fail "$entry is not installed"
desktop-file-validate "$entry" || fail "the installed desktop file does not validate"
appstreamcli validate --no-net /usr/share/metainfo/dev.dozuzavuvu.Dozuzavuvu.metainfo.xml ||
  fail "the installed AppStream metadata does not validate"
for icon in hammer anvil monogram clipboard wand sparkles; do
  [ -f "/usr/share/icons/hicolor/scalable/status/dozuzavuvu-$icon-symbolic.svg" ] || fail "the $icon tray icon is not installed"
done
[ -f /usr/share/man/man1/dozuzavuvu.1.gz ] && [ -f /usr/share/man/man1/dozuzavuvu-cli.1.gz ] || fail "a manual page is missing"

work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
# A private home: the scheme is registered for this user only.
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_CONFIG_HOME/dozuzavuvu" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
settings=$XDG_CONFIG_HOME/dozuzavuvu/settings.v1
echo '{}' >"$settings"  # not a first launch, so no window opens
[ "$(printf 'a\u00a0b' | dozuzavuvu-cli clean --format plain)" = "a b" ] || fail "the installed dozuzavuvu-cli does not clean"

xdg-mime default dev.dozuzavuvu.desktop x-scheme-handler/dozuzavuvu
handler=$(xdg-mime query default x-scheme-handler/dozuzavuvu)
[ "$handler" = dev.dozuzavuvu.desktop ] || fail "the scheme's handler is '$handler'"

"$program" >"$work/log" 2>&1 &
pid=$!
for _ in $(seq 100); do
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
    string:dev.dozuzavuvu 2>/dev/null | grep -q true && break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null || { cat "$work/log"; fail "the installed program did not stay up"; }

xdg-open 'dozuzavuvu://toggle' || fail "xdg-open failed"
for _ in $(seq 50); do
  grep -q '"autoClean":false' "$settings" && break
  sleep 0.1
done
grep -q '"autoClean":false' "$settings" || { cat "$work/log"; fail "dozuzavuvu://toggle did not reach the running program: $(cat "$settings")"; }
kill -0 "$pid" 2>/dev/null || fail "the running program ended"
kill -TERM "$pid"
wait "$pid" || fail "the program did not end cleanly on SIGTERM"
pid=
echo "ok: the installed package starts and answers dozuzavuvu://toggle"
