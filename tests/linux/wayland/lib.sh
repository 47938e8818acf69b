# Helpers for the program's cases on a headless compositor (sourced). The
# caller sets dz_log to the file the program prints to (shown on failure) and
# dz_work to its scratch folder (removed by dz_finish); processes added to
# dz_pids are ended by dz_finish, each with its process group under `set -m`.

dz_pids=()
dz_log=/dev/null
dz_work=""

dz_finish() {
  local pid
  for pid in "${dz_pids[@]}"; do kill -- -"$pid" 2>/dev/null || kill "$pid" 2>/dev/null; done
  for pid in "${dz_pids[@]}"; do wait "$pid" 2>/dev/null; done
  [ -z "$dz_work" ] || rm -rf "$dz_work"
}

fail() {
  echo "FAIL: $*" >&2
  echo "== what the program printed" >&2
  cat "$dz_log" >&2
  exit 1
}

# until_true SECONDS COMMAND...: runs COMMAND until it succeeds.
until_true() {
  local limit=$1 start=$SECONDS
  shift
  until "$@" >/dev/null 2>&1; do
    [ $((SECONDS - start)) -ge "$limit" ] && return 1
    sleep 0.1
  done
}

# expect SECONDS WANT COMMAND...: runs COMMAND until it prints WANT.
expect() {
  local limit=$1 want=$2 start=$SECONDS got=""
  shift 2
  while :; do
    got=$(timeout 5 "$@" 2>/dev/null)
    [ "$got" = "$want" ] && return 0
    if [ $((SECONDS - start)) -ge "$limit" ]; then
      echo "wanted '$want', got '$got' from: $*" >&2
      return 1
    fi
    sleep 0.2
  done
}
