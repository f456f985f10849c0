#!/usr/bin/env bash
# The demo: installs what is needed, builds, then inside the private test
# network starts the operator simulator (headend, default scenario) and the
# host simulator with the add-on on a fresh user folder, and shows what the
# host receives: identity, capabilities, menu hooks, the line-up and its
# groups, then the programme guide around now once its first days have
# arrived. Then it plays a channel live for a few seconds, pausing and
# resuming it through the timeshift file, writes what the host received to a
# file and shows that ffprobe reads it as video plus audio. Then the
# recordings: the cloud's finished ones and a local one, renamed and deleted
# through the host. Another device then fetches 5 s of a channel through the
# add-on's web relay with curl, and ffprobe shows its streams. The media
# server: gssdp-discover finds it, a control point lists the channels and
# ffprobe reads one through its res URL. Then a cloud
# recording played over RTSP from its bookmark, paused and at twice the speed,
# and a programme of the guide played as catch-up. A local timer records a
# channel for 20 s into the library, listed beside a cloud timer booked from
# the guide. A second
# start shows the stored line-up and recordings without the operator.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

if [ "${QUORVINA_NETNS:-}" != "1" ]; then
  bash scripts/install-deps.sh
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j"${JOBS:-2}" --target stage_addon headend hostsim \
    hostsim_host_libraries
  exec scripts/netns-run.sh "$0" "$@"
fi

# The operator's guide times are read in the zone of its subscribers.
[ -e /usr/share/zoneinfo/Europe/Madrid ] && export TZ=Europe/Madrid

work="$(mktemp -d /tmp/quorvina-demo-XXXXXX)"
headend=""
cleanup() {
  if [ -n "$headend" ]; then kill "$headend" 2>/dev/null || true; wait "$headend" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
addon="build/stage/pvr.quorvina"
user="$work/user"

echo "== headend: default scenario (subscriber of demarcation 19)"
build/tools/headend/headend --scenario tools/headend/scenarios/default.json \
  >"$work/headend.log" 2>&1 &
headend=$!
for _ in $(seq 100); do grep -q "headend ready" "$work/headend.log" && break; sleep 0.1; done
grep -q "headend ready" "$work/headend.log" || { cat "$work/headend.log"; exit 1; }

echo "== first start on a fresh user folder; the guide a few seconds later"
build/tools/hostsim/hostsim --addon "$addon" --user "$user" --quiet-log \
  info channels --wait 60 groups sleep 12 \
  grid 2001 2002 2030 2040 1043 2070 1082 --hours 3 \
  epg 2030 --from now-1h --to now+4h

echo "== what the add-on stored"
find "$user" -maxdepth 2 -name '*.xml' -not -path '*/EPG/*' | sort
echo "guide files: $(ls "$user/EPG" | grep -c '_0x') in EPG/, $(ls "$user/EPG/Detalle" | wc -l) details caches"
cat "$user/EPG/mapepg.xml"; echo
echo
sed -n 1,3p "$user/Base/Configuracion.xml"
sed -n 1,4p "$user/Canales/Canales.xml"

echo "== live TV: channel 1005 for 8 s, paused at 2 s and resumed at 5 s"
mkdir -p "$work/timeshift"
echo "<settings><setting id=\"timeshiftfolder\" value=\"$work/timeshift/\" /></settings>" \
  >"$user/settings.xml"
build/tools/hostsim/hostsim --addon "$addon" --user "$user" --quiet-log \
  play 1005 --seconds 8 --pause-at 2 --resume-at 5 --out "$work/live.ts" | sed -n '/== play/,$p'
echo "== what ffprobe reads in the file the host wrote"
ffprobe -v error -show_entries stream=index,codec_type,codec_name,width,height,sample_rate \
  -of compact=p=0 "$work/live.ts" | grep -v '^$' | sort -u

echo "== recordings: the cloud's finished ones beside a local one; rename the local one, delete a cloud one"
mkdir -p "$user/Recordings/Recordings"
cat >"$user/Recordings/Recordings/1.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Recording>
<strRecordingId Value="1" />
<strTitle Value="Directo en Tele Cinco Villas" />
<strStreamURL Value="$work/live.ts" />
<iClientChannelUid Value="1005" />
<strChannelName Value="Tele Cinco Villas" />
<recordingTime Value="$(date +%s)" />
<iDuration Value="8" />
<Cloud Value="0" />
</Recording>
XML
build/tools/hostsim/hostsim --addon "$addon" --user "$user" --quiet-log \
  recordings --wait 30 rename-recording 1 "Mi grabación" delete-recording 9000002 \
  recordings | sed -n '/== recordings/,$p' | grep -v '^\[host\] add-on\|^hostsim:'
echo "what the operator's cloud holds now:"
curl -s http://172.26.22.23:2001/headend/cloud | jq -c '.recordings[] | [.id, .name, .state]'
echo "== web relay: curl fetches 5 s of channel 1005 from the add-on, ffprobe reads it"
build/tools/hostsim/hostsim --addon "$addon" --user "$user" --quiet-log serve 60 \
  >"$work/serve.log" 2>&1 &
serve=$!
for _ in $(seq 100); do grep -q "^serving" "$work/serve.log" && break; sleep 0.1; done
curl -s --max-time 5 -o "$work/relay.ts" http://127.0.0.1:4242/canal=1005.mpg || true
kill -TERM "$serve"; wait "$serve" || true
grep '^\[host error\]' "$work/serve.log" || true
echo "$(stat -c %s "$work/relay.ts") bytes in 5 s"
ffprobe -v error -show_entries stream=index,codec_type,codec_name,width,height,sample_rate \
  -of compact=p=0 "$work/relay.ts" | grep -v '^$' | sort -u

echo "== media server: gssdp-discover finds it, a control point lists the channels, ffprobe reads one"
cp "$user/settings.xml" "$work/settings.saved"
sed -i 's|</settings>|<setting id="ActivarDLNA" value="true" /></settings>|' "$user/settings.xml"
build/tools/hostsim/hostsim --addon "$addon" --user "$user" --quiet-log serve 60 \
  >"$work/dlna.log" 2>&1 &
serve=$!
for _ in $(seq 100); do grep -q "^serving" "$work/dlna.log" && break; sleep 0.1; done
gssdp-discover -i lo --timeout 3 --target urn:schemas-upnp-org:device:MediaServer:1 | grep -v '^$'
python3 tests/e2e/upnp_client.py list http://172.26.22.23:4243/device.xml >"$work/items.json"
echo "$(jq '.items | length' "$work/items.json") channels; the first five:"
jq -r '.items[:5][] | "\(.id)  \(.title)  \(.res)  \(.albumArtURI)"' "$work/items.json"
res="$(jq -r '.items[0].res' "$work/items.json")"
if streams="$(timeout 20 ffprobe -v error -show_entries stream=index,codec_type,codec_name \
  -of compact=p=0 "$res")"; then
  echo "$streams" | grep -v '^$' | sort -u
else
  echo "FAILED: ffprobe could not read $res"
fi
kill -TERM "$serve"; wait "$serve" || true
cp "$work/settings.saved" "$user/settings.xml"

echo "== a cloud recording over RTSP: resumed at its bookmark, paused at 2 s and resumed at 4 s, then twice the speed"
echo "in DialogContextIniciarEn.xml click 1008" >"$work/gui.txt"
build/tools/hostsim/hostsim --addon "$addon" --user "$user" --quiet-log --gui-script "$work/gui.txt" \
  recordings --wait 30 play-recording 9000001 --seconds 9 --pause-at 2 --resume-at 4 --speed-at 6:2 \
  --out "$work/cloud.ts" 2>/dev/null | sed -n '/== play-recording/,$p' | grep -v '^hostsim:'
echo "what ffprobe reads in it:"
ffprobe -v error -show_entries stream=index,codec_type,codec_name,start_time \
  -of compact=p=0 "$work/cloud.ts" | grep -v '^$' | sort -u
echo "what the video server heard (the bookmark, then the session's requests):"
grep -o 'getBookmark.*resultCode 0\|setBookmark.*resultCode 0' "$work/headend.log" | cut -c1-90
grep -E 'rtsp .* > "|nat:' "$work/headend.log" | sed -E \
  -e 's/.* > "([A-Z_]+ [^ ]+).*(Range: npt=[0-9]*-end).*(Scale: [-0-9.]+).*/\1 \2 \3/' \
  -e 's/.* > "([A-Z_]+ [^ ]+) .*/\1/' -e 's/.*(nat: .*)/\1/'

echo "== a cloud recording of a month ago copied to a local file (menu hook 4 on the recording)"
mkdir -p "$work/copias"
echo "<settings><setting id=\"recordfolder\" value=\"$work/copias/\" /></settings>" \
  >"$user/settings.xml"
build/tools/hostsim/hostsim --addon "$addon" --user "$user" --quiet-log \
  recordings --wait 30 menu 4 9000008 sleep 30 recordings 2>/dev/null |
  grep -E '^== |9000008' | grep -v '^hostsim:'
echo "the history of copies:"
cat "$user/Sincronizacion/Track.xml"
echo "what ffprobe reads in the copy:"
ffprobe -v error -show_entries stream=index,codec_type,codec_name,width,height \
  -of compact=p=0 "$work/copias/Hace un mes.mpeg" | grep -v '^$' | sort -u

echo "== catch-up: a programme of the HD channel 2030 of two hours ago, from the guide's menu"
echo "   (hook 8, with \"ultimos7dias\" in the add-on's folder)"
cp -r "$addon" "$work/addon" && touch "$work/addon/ultimos7dias"
uid="$(build/tools/hostsim/hostsim --addon "$work/addon" --user "$user" --quiet-log \
  epg 2030 --from now-3h --to now-2h | grep -o 'uid [0-9]*' | head -1 | cut -d' ' -f2)"
# As a host does, the guide of the channel is read before its menu is used.
build/tools/hostsim/hostsim --addon "$work/addon" --user "$user" --quiet-log \
  epg 2030 --from now-3h --to now-2h catchup "$uid" --seconds 6 2>/dev/null |
  sed -n '/== catchup/,$p' | grep -v '^hostsim:'
echo "== timers: a local one on channel 1005 for 20 s, and a cloud one booked from the guide of 2030"
mkdir -p "$work/rec"
echo "<settings><setting id=\"timeshiftfolder\" value=\"$work/timeshift/\" />\
<setting id=\"recordfolder\" value=\"$work/rec/\" />\
<setting id=\"TipoGrabacionPorDefecto\" value=\"1\" /></settings>" >"$user/settings.xml"
# A timer by hand has no guide entry, so it records locally; the guide's
# programme of three hours ahead is booked in the cloud.
later="$(build/tools/hostsim/hostsim --addon "$addon" --user "$user" --quiet-log \
  epg 2030 --from now+3h --to now+4h | grep -o 'uid [0-9]*' | head -1 | cut -d' ' -f2)"
build/tools/hostsim/hostsim --addon "$addon" --user "$user" --quiet-log \
  add-timer --channel 1005 --start 2 --end 22 --title "Demo local" \
  add-timer --epg 2030 "$later" timers sleep 5 timers \
  sleep 20 timers recordings | sed -n '/== add-timer/,$p' |
  grep -v '^\[host\] add-on\|^hostsim:\|PVR_trigger' |
  grep -v '^    plot:'
echo "the operator's cloud holds the booking:"
curl -s http://172.26.22.23:2001/headend/cloud | jq -c ".recordings[] | select(.id == $later) | [.id, .name, .state]"
echo "what ffprobe reads in the recording:"
ffprobe -v error -show_entries format=duration:stream=codec_type,codec_name \
  -of compact=p=0 "$work/rec/Demo local.mpeg" | grep -v '^$' | sort -u

echo "== series: menu hook 1 lists the guide's series; the first is scheduled in the cloud"
cat >"$work/series.txt" <<'GUI'
in listadeseries.xml wait 300ms then select item 0 then action 117
in DialogContextSerieNP.xml click 1000
in DialogOpcionesGrabacion.xml set radio 7 on then click 11
every DialogSI.xml send action 10
GUI
echo "<settings><setting id=\"TipoGrabacionPorDefecto\" value=\"1\" /></settings>" >"$user/settings.xml"
build/tools/hostsim/hostsim --addon "$addon" --user "$user" --quiet-log --gui-script "$work/series.txt" \
  channels --wait 60 recordings sleep 15 menu 1 sleep 8 timers 2>/dev/null |
  sed -n '/== menu/,$p' | grep -E '^\[window listadeseries|^  (label 29|item)|^== timers|^timers|^  timer' |
  cut -c1-150
echo "the stored rule:"
ls "$user/Series/Grabaciones/"
grep -E 'IdStrSerie|Cloud|ProgramarGrabaciones' "$user/Series/Grabaciones/"*.xml

echo "== second start with the operator switched off: the stored line-up at once"
kill "$headend"; wait "$headend" 2>/dev/null || true
headend=""
build/tools/hostsim/hostsim --addon "$addon" --user "$user" --quiet-log channels recordings |
  grep -v '^\[host\] add-on\|^hostsim:' | sed -n '/== channels/,/channel 5:/p;/== recordings/,$p'
echo "== demo finished"
