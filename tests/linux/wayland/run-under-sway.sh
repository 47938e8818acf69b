#!/usr/bin/env bash
# Runs one test program as a client of a private headless Sway. Sway refuses
# to run as root, so under root only Sway runs as an unprivileged user (made
# here in CI, where the tests run as root); the test and its helper clients
# stay root and reach Sway's socket through its runtime folder. Skipped (77)
# outside CI when Sway or wl-clipboard is missing, or that user is. With
# DZ_SWAY_XWAYLAND=1 Sway starts Xwayland too and DISPLAY names it.
set -u
user=dz-sway
skip() {
  if [ -n "${CI:-}" ]; then echo "$1 (required in CI)" >&2; exit 1; fi
  echo "SKIPPED: $1" >&2
  exit 77
}
command -v sway >/dev/null 2>&1 || skip "sway is not installed"
command -v wl-copy >/dev/null 2>&1 || skip "wl-clipboard is not installed"

as_user=()
if [ "$(id -u)" -eq 0 ]; then
  if ! id "$user" >/dev/null 2>&1; then
    [ -n "${CI:-}" ] || skip "user $user is missing (useradd --system --create-home $user)"
    useradd --system --create-home "$user" || exit 1
  fi
  as_user=(runuser -u "$user" --)
  owner=$user
else
  owner=$(id -un)
fi

dir=$(mktemp -d /tmp/dz-sway-XXXXXX)
mkdir -m 0700 "$dir/runtime"
chown -R "$owner" "$dir"
chmod 0755 "$dir"
if [ "${DZ_SWAY_XWAYLAND:-}" = 1 ]; then
  command -v Xwayland >/dev/null 2>&1 || skip "Xwayland is not installed"
  cat >"$dir/config" <<CONFIG
output HEADLESS-1 resolution 1280x800
xwayland force
exec sh -c 'echo \$DISPLAY > $dir/display'
CONFIG
else
  echo "output HEADLESS-1 resolution 1280x800" >"$dir/config"
fi
chown "$owner" "$dir/config"

env -i PATH="$PATH" HOME="$dir" XDG_RUNTIME_DIR="$dir/runtime" WLR_BACKENDS=headless \
  WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman "${as_user[@]}" sway -c "$dir/config" \
  >"$dir/sway.log" 2>&1 &
sway=$!
socket=""
for _ in $(seq 200); do
  for s in "$dir"/runtime/wayland-*; do
    case "$s" in *.lock) ;; *) [ -S "$s" ] && socket=$(basename "$s") ;; esac
  done
  [ -n "$socket" ] && break
  sleep 0.05
done
if [ -z "$socket" ]; then
  echo "sway did not start:" >&2
  cat "$dir/sway.log" >&2
  kill "$sway" 2>/dev/null
  rm -rf "$dir"
  exit 1
fi

export XDG_RUNTIME_DIR="$dir/runtime" WAYLAND_DISPLAY="$socket" XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland
# Xwayland admits only Sway's user: a test that needs X11 runs its program as that user.
export DZ_SWAY_USER=${as_user:+$user}
unset DISPLAY
if [ "${DZ_SWAY_XWAYLAND:-}" = 1 ]; then
  for _ in $(seq 200); do
    [ -s "$dir/display" ] && break
    sleep 0.05
  done
  if [ ! -s "$dir/display" ]; then
    echo "Xwayland did not start:" >&2
    cat "$dir/sway.log" >&2
    kill "$sway" 2>/dev/null
    rm -rf "$dir"
    exit 1
  fi
  export DISPLAY=$(cat "$dir/display")
fi
"$@"
rc=$?
kill "$sway" 2>/dev/null
wait "$sway" 2>/dev/null
rm -rf "$dir"
exit $rc
