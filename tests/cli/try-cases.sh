#!/bin/bash
# Runs `dozuzavuvu-cli try` over the cases below and compares standard output
# byte for byte with tests/fixtures/try/NAME.out, and the exit status.
# Usage: try-cases.sh CLI FIXTURES_DIR [--update]
set -u
cli=$1
dir=$2
update=${3:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$dir" || exit 1
# Nothing of the machine's own settings; the only installed applications are
# the fixtures' (applications/*.desktop).
export HOME=$tmp XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$PWD XDG_DATA_DIRS=$tmp/data LANG=C.UTF-8 LC_ALL=C.UTF-8
failures=0

# case NAME EXPECTED_STATUS ARGS... (standard input is article.txt)
case_() {
    local name=$1 status=$2
    shift 2
    "$cli" try "$@" <article.txt >"$tmp/out" 2>"$tmp/err"
    local actual=$?
    if [ -n "$update" ] && [ "$status" = 0 ]; then
        cp "$tmp/out" "$name.out"
    fi
    if [ "$actual" != "$status" ]; then
        echo "FAIL $name: exit status $actual, expected $status"; cat "$tmp/err"; failures=$((failures + 1))
    elif [ "$status" = 0 ] && ! cmp -s "$tmp/out" "$name.out"; then
        echo "FAIL $name:"; diff "$name.out" "$tmp/out"; failures=$((failures + 1))
    elif [ "$status" != 0 ] && [ ! -s "$tmp/err" ]; then
        echo "FAIL $name: no message on standard error"; failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
}

case_ defaults-from-stdin 0
case_ links-default-from-files 0 --settings settings.json --text article.txt --html article.html
case_ markdown-picked-json 0 --settings settings.json --html article.html --as markdown --json
case_ keep-original-rule 0 --settings settings.json --from libreoffice-calc --html article.html
case_ keep-original-rule-json 0 --settings settings.json --from libreoffice-calc --html article.html --json
case_ destination-app-rule 0 --settings settings.json --into md.obsidian.Obsidian --text article.txt --html article.html
case_ destination-website-rule 0 --settings settings.json --into firefox@https://chat.example.com/room/1 --html article.html
case_ pdf-viewer-source 0 --settings settings.json --from org.gnome.Evince --text pdf.txt
case_ pdf-page-in-browser-detection-off 0 --settings settings.json --from firefox@https://example.org/paper.pdf --text pdf.txt
case_ address-without-id 0 --from @https://example.org/a --text article.txt
case_ empty-address 2 --from firefox@ --text article.txt
case_ unknown-format 2 --as bold --text article.txt
case_ missing-settings-file 2 --settings no-such-file.json --text article.txt

[ "$failures" = 0 ]
