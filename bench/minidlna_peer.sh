#!/usr/bin/env bash
# Runs minidlna, the peer media server, inside the private test network and
# a command against it: minidlnad (unpacked by scripts/install-deps.sh, never
# installed) on lo serves a 3-second MPEG-2 TS made by ffmpeg and N small
# JPEG files; once gssdp-discover finds it and its scan is done, the command
# runs with MINIDLNA_LOCATION set to its description's URL.
#
#   scripts/netns-run.sh bench/minidlna_peer.sh N command [args...]
set -euo pipefail
minidlnad="${QUORVINA_MINIDLNA_DIR:-/opt/quorvina-peers/minidlna}/usr/sbin/minidlnad"
[ -x "$minidlnad" ] || { echo "minidlna_peer: no $minidlnad (scripts/install-deps.sh)" >&2; exit 77; }
[ "${QUORVINA_NETNS:-}" = "1" ] || { echo "minidlna_peer: run inside scripts/netns-run.sh" >&2; exit 2; }
files="$1"
shift

work="$(mktemp -d /tmp/quorvina-minidlna-XXXXXX)"
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/media" "$work/db" "$work/log"
ffmpeg -v error -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine -t 3 \
  -c:v mpeg2video -c:a mp2 "$work/media/clip.ts"
if [ "$files" -gt 0 ]; then
  ffmpeg -v error -f lavfi -i color=c=blue:s=64x36 -frames:v 1 "$work/logo.jpg"
  for i in $(seq "$files"); do cp "$work/logo.jpg" "$work/media/logo$i.jpg"; done
fi
cat >"$work/minidlna.conf" <<CONF
media_dir=$work/media
db_dir=$work/db
log_dir=$work/log
port=8200
network_interface=lo
friendly_name=peer
inotify=no
CONF
"$minidlnad" -f "$work/minidlna.conf" -P "$work/pid" -S >"$work/out.log" 2>&1 &
pid=$!
for _ in $(seq 100); do grep -qs "finished" "$work/log/minidlna.log" && break; sleep 0.1; done
location="$(gssdp-discover -i lo --timeout 3 --target urn:schemas-upnp-org:device:MediaServer:1 |
  sed -n 's/^ *Location: *//p' | head -1)"
[ -n "$location" ] || { echo "minidlna_peer: gssdp-discover did not find minidlnad" >&2; exit 1; }
MINIDLNA_LOCATION="$location" "$@"
