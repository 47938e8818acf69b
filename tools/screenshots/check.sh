#!/usr/bin/env bash
# The screenshot tool still draws every picture: each PNG exists, is a PNG,
# and holds more than a blank window would compress to.
set -u
tool=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$tool" "$out" || { echo "dozuzavuvu-screenshots failed" >&2; exit 1; }
status=0
for name in tray-menu.png settings-general.png settings-try-it.png tray-icons-dark-panel.png tray-icons-light-panel.png; do
  file="$out/$name"
  if [ ! -f "$file" ]; then
    echo "missing: $name" >&2; status=1; continue
  fi
  size=$(stat -c %s "$file")
  magic=$(head -c 8 "$file" | od -An -tx1 | tr -d ' \n')
  if [ "$magic" != "89504e470d0a1a0a" ]; then
    echo "not a PNG: $name" >&2; status=1
  elif [ "$size" -lt 4000 ] && [ "${name#tray-icons}" = "$name" ]; then
    echo "too small to hold a drawn window: $name ($size bytes)" >&2; status=1
  else
    echo "$name: $size bytes"
  fi
done
exit $status
