#!/usr/bin/env bash
# Checks the video server and the DNS server with Debian's own clients:
# dig (RFC 1035) and ffprobe (RFC 2326 over the standard RTP transport).
#   vod-check.sh HEADEND SCENARIO LOG     (inside the private test network)
set -uo pipefail
headend="$1" scenario="$2" log="$3"
for tool in dig ffprobe; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool missing (scripts/install-deps.sh)"; exit 77; }
done
fifo="$(mktemp -u)"
mkfifo "$fifo"
"$headend" --scenario "$scenario" --log "$log" --duration 60 >"$fifo" &
pid=$!
trap 'kill $pid 2>/dev/null; wait $pid 2>/dev/null; rm -f "$fifo"' EXIT
timeout 15 grep -q "headend ready" "$fifo" || { echo "FAIL: headend not ready"; exit 1; }

failures=0
check() {  # name, expected (grep -E), actual
  if grep -qE "$2" <<<"$3"; then echo "ok   $1"; else
    echo "FAIL $1: wanted /$2/ in:"; echo "$3" | sed 's/^/     /'; failures=$((failures + 1)); fi
}
dig1() { dig +time=1 +tries=1 +norecurse @172.26.23.3 "$@" 2>&1; }

check "A record" '^vod\.quorvina\.es\.[[:space:]]+300[[:space:]]+IN[[:space:]]+A[[:space:]]+172\.26\.24\.10' \
  "$(dig1 vod.quorvina.es A)"
chain="$(dig1 cdn.quorvina.es A)"
check "CNAME chain: three answers" 'ANSWER: 3,' "$chain"
check "CNAME chain: first alias" '^cdn\.quorvina\.es\..*CNAME[[:space:]]+edge\.cdn\.quorvina\.es\.' "$chain"
check "CNAME chain: address last" '^vod\.quorvina\.es\..*A[[:space:]]+172\.26\.24\.10' "$chain"
check "unknown name" 'status: NXDOMAIN' "$(dig1 nadie.quorvina.es A)"

probe() { timeout 20 ffprobe -v error -rtsp_transport udp -show_entries stream=codec_type,codec_name \
  -of compact "$1" 2>&1; }
sd="$(probe rtsp://172.26.24.10:554/vod/3600)"
check "SD asset: video" 'codec_name=mpeg2video\|codec_type=video' "$sd"
check "SD asset: audio" 'codec_name=mp2\|codec_type=audio' "$sd"
hd="$(probe rtsp://127.0.0.1:554/vod/hd)"
check "HD asset on 127.0.0.1: video" 'codec_name=(h264|mpeg2video)\|codec_type=video' "$hd"
check "HD asset on 127.0.0.1: audio" 'codec_type=audio' "$hd"
check "requests logged byte for byte" 'SETUP rtsp://172\.26\.24\.10:554/vod/3600 RTSP/1\.0\\r\\n' "$(cat "$log")"
[ "$failures" -eq 0 ] || exit 1
