#!/usr/bin/env bash
# The program end to end on a private X display (run by run-under-x.sh): a
# rich copy is cleaned, a paste into an application with a Markdown rule gets
# Markdown, and a second start hands its addresses to the running program.
set -u
program=$1
here=$(cd "$(dirname "$0")/../.." && pwd)
source "$here/tests/ui/desktop/lib.sh"
fail() { dz_fail "$@"; }

out=$(DZ_DEMO_INSIDE=1 bash "$here/scripts/run-desktop" "$program" 2>&1)
echo "$out"
plain=$(sed -n '/== the clipboard now/,/== pasted into xsel/p' <<<"$out")
markdown=$(sed -n '/== pasted into xsel/,$p' <<<"$out")
grep -q 'Tide pools are busy places. See the tide tables.' <<<"$plain" || fail "the copy was not cleaned to plain text"
grep -q '\*\*busy\*\*' <<<"$markdown" || fail "the Markdown rule did not apply to xsel"
grep -q '(https://example.org/tides)' <<<"$markdown" || fail "the link kept its tracking parameters"

dz_write_settings '{}'
dz_start_program "$program"
"$program" 'dozuzavuvu://disable' 'dozuzavuvu://format?set=Links' || fail "the second start did not forward"
dz_until 10 dz_setting_is autoClean false || fail "disable did not reach the running program: $(cat "$dz_settings_file")"
dz_until 10 dz_setting_is defaultFormat '"links"' || fail "format?set=Links did not reach the running program"
dz_stop_program
echo "ok"
