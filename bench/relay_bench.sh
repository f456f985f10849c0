#!/usr/bin/env bash
# The web relay side by side with VLC, in one private network and one run:
# the headend plays scenarios/relay.json (2001 at 10 Mbit/s, 2002 at 40);
# for each rate and each number of clients N, N HTTP connections read for
# SECONDS from (a) the add-on in `hostsim serve` and (b) Debian's VLC
# (`cvlc ... --sout '#standard{access=http,mux=ts}'`, as an unprivileged
# user), while tsreader reads the group itself (the floor). Prints CPU
# seconds per minute of stream (hostsim's idle subtracted), CPU per
# delivered Mbit/s, peak resident memory, delivered rate, continuity errors
# and video/audio packets against N times the floor's. VLC renumbers
# continuity counters, so its packet counts are what tell its losses.
#
#   bench/relay_bench.sh [build-dir] [seconds] [N...]      (default: build 60 1 8 32)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
seconds="${2:-60}"
shift $(($# < 2 ? $# : 2))
clients=("$@")
[ ${#clients[@]} -gt 0 ] || clients=(1 8 32)
for tool in tools/headend/headend tools/hostsim/hostsim stage/pvr.quorvina; do
  [ -e "$build/$tool" ] || { echo "build $build/$tool first"; exit 1; }
done
command -v cvlc >/dev/null || { echo "needs vlc-bin and vlc-plugin-base (scripts/install-deps.sh)"; exit 1; }

if [ "${QUORVINA_NETNS:-}" != "1" ]; then
  exec "$root/scripts/netns-run.sh" "$0" "$build" "$seconds" "${clients[@]}"
fi

work="$(mktemp -d /tmp/quorvina-relay-bench-XXXXXX)"
chmod 755 "$work"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
ticks="$(getconf CLK_TCK)"
g++ -O2 -std=c++17 -o "$work/tsreader" "$root/bench/tsreader.cpp"

cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# Samples a process's resident memory every 200 ms; the peak goes to $2.
watch_rss() {
  local pid=$1 out=$2 peak=0 kb
  while kb=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null); do
    [ "${kb:-0}" -gt "$peak" ] && peak=$kb && echo "$peak" >"$out"
    sleep 0.2
  done
}
field() { sed -E "s|.* $1 ([0-9.]+).*|\1|" <<<"$2"; }

"$build/tools/headend/headend" --scenario "$root/tools/headend/scenarios/relay.json" \
  >"$work/headend.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -qs "headend ready" "$work/headend.log" && break; sleep 0.1; done

"$build/tools/hostsim/hostsim" --addon "$build/stage/pvr.quorvina" --user "$work/user" \
  --quiet-log channels --wait 60 serve >"$work/hostsim.log" 2>&1 &
hostsim=$!
pids+=($hostsim)
for _ in $(seq 600); do grep -qs "^serving" "$work/hostsim.log" && break; sleep 0.1; done
grep -qs "^serving" "$work/hostsim.log" || { tail "$work/hostsim.log"; exit 1; }
sleep 2
idle_before=$(cpu "$hostsim")
sleep 10
idle=$(awk -v t=$(($(cpu "$hostsim") - idle_before)) 'BEGIN { print t / 10 }')  # ticks per second
echo "hostsim idle: $(awk -v i="$idle" -v hz="$ticks" 'BEGIN { printf "%.2f", i / hz * 60 }') CPU s per minute"

vlc_user=()
[ "$(id -u)" -eq 0 ] && vlc_user=(runuser -u nobody --)

# One run: label, pid to measure, idle ticks per second, URL, N, group.
measure() {
  local label=$1 pid=$2 idle_tps=$3 url=$4 n=$5 group=$6
  rm -f "$work/rss"
  watch_rss "$pid" "$work/rss" &
  local watcher=$!
  "$work/tsreader" --group "$group:8208" --seconds "$seconds" >"$work/floor" &
  local floor=$!
  local before
  before=$(cpu "$pid")
  local out
  out=$("$work/tsreader" --http "$url" -n "$n" --seconds "$seconds")
  local used=$(($(cpu "$pid") - before))
  wait "$floor"
  kill "$watcher" 2>/dev/null || true
  wait "$watcher" 2>/dev/null || true
  local f
  f=$(cat "$work/floor")
  awk -v l="$label" -v n="$n" -v t="$used" -v i="$idle_tps" -v s="$seconds" -v hz="$ticks" \
    -v mbit="$(field Mbit/s "$out")" -v rss="$(cat "$work/rss" 2>/dev/null || echo 0)" \
    -v cc="$(field cc_errors "$out")" -v sync="$(field sync_losses "$out")" \
    -v v="$(field video "$out")" -v a="$(field audio "$out")" -v empty="$(field empty "$out")" \
    -v fv="$(field video "$f")" -v fa="$(field audio "$f")" -v fcc="$(field cc_errors "$f")" \
    'BEGIN {
       cpu = (t - i * s) / hz * 60 / s; if (cpu < 0) cpu = 0
       printf "%-8s N=%-3d %7.2f CPU s/min %7.4f per Mbit/s %7.1f MiB peak %8.1f Mbit/s  cc %d sync %d empty %d  video %d/%d audio %d/%d (floor cc %d)\n",
         l, n, cpu, (mbit > 0 ? cpu / mbit : 0), rss / 1024, mbit, cc, sync, empty, v, fv * n, a, fa * n, fcc
     }'
}

for rate in 10 40; do
  if [ "$rate" = 10 ]; then id=2001 group=239.0.5.1; else id=2002 group=239.0.5.2; fi
  echo "== $rate Mbit/s (channel $id, $group), $seconds s per run"
  "${vlc_user[@]}" cvlc -I dummy -q "rtp://@$group:8208" \
    --sout '#standard{access=http,mux=ts,dst=:4300}' >"$work/vlc.log" 2>&1 &
  pids+=($!)
  sleep 3
  vlc=$(pgrep -n -x vlc)
  for n in "${clients[@]}"; do
    measure add-on "$hostsim" "$idle" "127.0.0.1:4242/canal=$id.mpg" "$n" "$group"
    measure vlc "$vlc" 0 "127.0.0.1:4300/" "$n" "$group"
  done
  kill "$vlc" 2>/dev/null || true
  sleep 1
done
grep -E '^\[host error\]|Relay' "$work/hostsim.log" | head -20 || true
