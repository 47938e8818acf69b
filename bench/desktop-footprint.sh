#!/usr/bin/env bash
# The desktop program's footprint, measured by hand on a release build
# (not part of the tests): start-up to tray item, resident memory idle and
# after many copies, and what it costs while idle.
#   bench/desktop-footprint.sh [PROGRAM] [COPIES] [IDLE_SECONDS]
# Runs on a private display with a stand-in tray host and its own settings.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$here/build/release/ui/dozuzavuvu}
copies=${2:-2000}
idle=${3:-60}
program=$(readlink -f "$program")
if [ -z "${DZ_FOOTPRINT_INSIDE:-}" ]; then
  export DZ_FOOTPRINT_INSIDE=1
  exec bash "$here/tests/linux/x11/run-under-x.sh" bash "$0" "$program" "$copies" "$idle"
fi
source "$here/tests/ui/desktop/lib.sh"

rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# Context switches of every thread: "TID NAME VOLUNTARY INVOLUNTARY" a line.
switches() {
  local task
  for task in /proc/"$1"/task/*; do
    printf '%s %s %s %s\n' "${task##*/}" "$(tr ' ' _ <"$task/comm")" \
      "$(awk '/^voluntary_ctxt_switches:/ {print $2}' "$task/status")" \
      "$(awk '/^nonvoluntary_ctxt_switches:/ {print $2}' "$task/status")"
  done
}

dz_start_tray

echo "== start-up to tray item (5 starts)"
times=()
for run in 1 2 3 4 5; do
  dz_write_settings '{}'
  before=$(dz_registrations)
  start=$(date +%s.%N)
  dz_start_program "$program"
  dz_wait_tray $((before + 1))
  registered=$(grep '^registered' "$dz_tray_log" | tail -n1 | cut -d' ' -f2)
  times+=("$(awk -v a="$start" -v b="$registered" 'BEGIN {printf "%.0f", (b - a) * 1000}')")
  [ "$run" -lt 5 ] && dz_stop_program
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n | tr '\n' ' ')
echo "ms: $sorted(median $(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p))"

pid=$dz_program_pid
sleep 3
echo
echo "== resident memory"
echo "idle after start: $(rss_kib "$pid") KiB"

echo
echo "== idle for $idle s"
t0=$(cpu_ticks "$pid")
switches "$pid" | sort >"$dz_work/before"
sleep "$idle"
t1=$(cpu_ticks "$pid")
switches "$pid" | sort >"$dz_work/after"
hz=$(getconf CLK_TCK)
echo "CPU time: $(awk -v d=$((t1 - t0)) -v hz="$hz" 'BEGIN {printf "%.0f", d * 1000 / hz}') ms"
echo "context switches by thread (voluntary, involuntary):"
join "$dz_work/before" "$dz_work/after" |
  awk '{printf "  %-8s %-18s %6d %6d\n", $1, $2, $6 - $3, $7 - $4}'
echo "resident after idling: $(rss_kib "$pid") KiB"

echo
echo "== $copies rich copies"
start=$(date +%s.%N)
missed=0
for i in $(seq "$copies"); do
  # xclip in the foreground serves until the program takes the cleaned copy over.
  printf '<p>Copy %d: <b>tide</b> pools, <a href="https://example.org/%d?utm_source=x">tables</a></p>' "$i" "$i" |
    timeout 5 xclip -quiet -selection clipboard -t text/html -i >/dev/null 2>&1 || missed=$((missed + 1))
  # Growth that goes on with the count would be a leak.
  [ $((i % 500)) -eq 0 ] && echo "  after $i: $(rss_kib "$pid") KiB"
done
elapsed=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {printf "%.1f", b - a}')
echo "took ${elapsed} s; not taken over within 5 s: $missed"
sleep 2
echo "resident after $copies copies: $(rss_kib "$pid") KiB"
echo "CPU time so far: $(awk -v t="$(cpu_ticks "$pid")" -v hz="$hz" 'BEGIN {printf "%.2f", t / hz}') s"

echo
echo "== large pages: resident 10 s after each copy"
echo "(aim: within 40 MB of idle plus the copy's own data, kept to convert it later)"
base=$(rss_kib "$pid")
echo "before: $base KiB"
for mb in 5 30; do
  page="$dz_work/page-$mb.html"
  python3 - "$mb" >"$page" <<'PY'
import sys
limit = int(sys.argv[1]) * 1000 * 1000 - 64
out, i = [], 0
size = 0
while True:
    p = ('<p>Paragraph %d of a long page, with <a href="https://example.org/%d?utm_source=feed">a link</a>, '
         '<b>bold</b> and <i>italic</i> words.</p>\n' % (i, i))
    if size + len(p) > limit:
        break
    out.append(p)
    size += len(p)
    i += 1
sys.stdout.write("".join(out))
PY
  # xclip serves from the background until the program takes the copy over.
  timeout 120 xclip -quiet -selection clipboard -t text/html -i <"$page" >/dev/null 2>&1 &
  clip=$!
  sleep 10
  kib=$(rss_kib "$pid")
  echo "$mb MB page: $kib KiB, $(((kib - base) / 1024)) MiB over before"
  for later in 30 60; do
    sleep $((later == 30 ? 20 : 30))
    kib=$(rss_kib "$pid")
    echo "  $later s after: $kib KiB, $(((kib - base) / 1024)) MiB over before"
  done
  wait "$clip"
done
dz_stop_program
