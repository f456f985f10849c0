#!/usr/bin/env bash
# CPU use of the headend's TV channels: the keep-alive set alone, then one
# channel at full rate at 10, 20, 40 and 80 Mbit/s (null padding) beside the
# keep-alives of every other group. Prints CPU seconds per minute of stream.
#
#   bench/headend_tv_cpu.sh [build-dir] [seconds per run]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
seconds="${2:-20}"
headend="$build/tools/headend/headend"
[ -x "$headend" ] || { echo "build headend first ($headend)"; exit 1; }

if [ "${QUORVINA_NETNS:-}" != "1" ]; then
  exec "$root/scripts/netns-run.sh" "$0" "$build" "$seconds"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
ticks="$(getconf CLK_TCK)"

run() {  # label, tv member
  python3 - "$root/tools/headend/scenarios/default.json" "$2" >"$work/s.json" <<'PY'
import json, sys
s = json.load(open(sys.argv[1]))
s["tv"] = json.loads(sys.argv[2])
print(json.dumps(s))
PY
  "$headend" --scenario "$work/s.json" --log "$work/log" >/dev/null &
  local pid=$!
  sleep 1
  local before after
  before=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  sleep "$seconds"
  after=$(awk '{print $14 + $15}' "/proc/$pid/stat")
  kill "$pid"
  wait "$pid" || true
  awk -v l="$1" -v t=$((after - before)) -v hz="$ticks" -v s="$seconds" \
    'BEGIN { printf "%-34s %6.2f CPU s per minute (%4.1f %% of a core)\n", l, t / hz * 60 / s, t / hz / s * 100 }'
}

run "keep-alives only (126 groups)" '{"fullRate": "named"}'
for rate in 10 20 40 80; do
  run "one HD channel at $rate Mbit/s" \
    "{\"fullRate\": \"named\", \"channels\": [{\"id\": \"2001\", \"bitrate\": ${rate}000000}]}"
done
