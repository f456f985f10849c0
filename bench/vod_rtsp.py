#!/usr/bin/env python3
"""Cloud playback over RTSP through the add-on beside FFmpeg's RTSP client.

In the private test network headend's video server sends an HD recording at
10, 20, 40 and 80 Mbit/s. In the same run (a) the add-on's on-demand client
plays one session (bench/rtsp_bench: open with the set-top box's MP2T/H2221
transport, DemuxRead in a loop, hostsim as the host in that process) and (b)
Debian's ffmpeg plays another over the standard transport
(`ffmpeg -rtsp_transport udp -i rtsp://... -c copy -f null -`). For each it
prints the CPU seconds per minute of stream, the datagrams the kernel dropped
at its sockets, FFmpeg's corrupt-packet warnings (continuity errors: lost
datagrams) and the time to the first video packet (ffmpeg: a run that stops
after its first frame, process start included).

    bench/vod_rtsp.py [build-dir] [seconds per run]
"""
import json
import os
import re
import subprocess
import sys
import tempfile
import time

from procwatch import Watch, start_headend, wait_for

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build")
SECONDS = int(sys.argv[2]) if len(sys.argv) > 2 else 20
SERVER = "rtsp://vod.quorvina.es:554"  # the add-on asks headend's DNS server
FFSERVER = "rtsp://172.26.24.10:554"  # ffmpeg knows only the system resolver

if os.environ.get("QUORVINA_NETNS") != "1":
    os.execv(os.path.join(ROOT, "scripts/netns-run.sh"),
             ["netns-run.sh", sys.executable, os.path.abspath(__file__), BUILD, str(SECONDS)])


def scenario(work, rate):
    assets = [{"path": p, "duration": 86400, "clip": "hd", "transport": "rtp",
               "bitrate": rate * 1000000} for p in ("/vod/addon", "/vod/ffmpeg", "/vod/first")]
    s = {"rtsp": {"assets": assets},
         "dns": {"records": [{"name": "vod.quorvina.es", "a": "172.26.24.10"}]}}
    path = os.path.join(work, f"vod{rate}.json")
    with open(path, "w") as f:
        json.dump(s, f)
    return path


def run(work, rate):
    log = os.path.join(work, f"headend{rate}.log")
    headend = start_headend(BUILD, scenario(work, rate), log)
    start = time.time()
    first = subprocess.run(["ffmpeg", "-nostdin", "-loglevel", "error", "-rtsp_transport", "udp",
                            "-i", f"{FFSERVER}/vod/first", "-map", "0:v", "-frames:v", "1", "-c",
                            "copy", "-f", "null", "-"], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
    ffmpeg_first = (time.time() - start) * 1000 if first.returncode == 0 else float("nan")
    out = os.path.join(work, f"addon{rate}.log")
    addon = subprocess.Popen([os.path.join(BUILD, "bench/rtsp_bench"), f"{SERVER}/vod/addon",
                              str(SECONDS + 2)], stdout=open(out, "w"), stderr=subprocess.STDOUT)
    fflog = os.path.join(work, f"ffmpeg{rate}.log")
    ffmpeg = subprocess.Popen(["ffmpeg", "-nostdin", "-loglevel", "warning", "-rtsp_transport",
                               "udp", "-i", f"{FFSERVER}/vod/ffmpeg", "-c", "copy", "-f", "null",
                               "-"], stdout=subprocess.DEVNULL, stderr=open(fflog, "w"))
    wait_for(out, "ready", 30)
    time.sleep(1)
    watches = [Watch(addon.pid), Watch(ffmpeg.pid)]
    for w in watches:
        w.start()
    end = time.time() + SECONDS - 2
    while time.time() < end:
        for w in watches:
            w.poll()
        time.sleep(0.2)
    for w in watches:
        w.poll()
        w.stop()
    measured = SECONDS - 2
    addon.wait(timeout=60)
    ffmpeg.terminate()
    ffmpeg.wait(timeout=10)
    headend.terminate()
    headend.wait(timeout=10)
    report = open(out, errors="replace").read()
    field = lambda name: (re.search(rf"{name} (\S+)", report) or [None, "?"])[1]
    ffwarn = open(fflog, errors="replace").read()
    return {
        "addon_cpu": watches[0].per_minute(measured),
        "addon_drops": sum(watches[0].drops.values()),
        "addon_corrupt": field("corrupt"),
        "addon_first": field("first-packet-ms"),
        "ffmpeg_cpu": watches[1].per_minute(measured),
        "ffmpeg_drops": sum(watches[1].drops.values()),
        "ffmpeg_corrupt": ffwarn.count("corrupt") + ffwarn.count("RTP: missed"),
        "ffmpeg_first": ffmpeg_first,
    }


def main():
    work = tempfile.mkdtemp(prefix="quorvina-vod-bench-")
    print(f"one HD recording over RTSP, {SECONDS - 2} s measured per rate, both in the same run")
    print(f"{'Mbit/s':>6} | {'add-on: CPU s/min':>17} {'drops':>5} {'corrupt':>7} {'1st ms':>6} |"
          f" {'ffmpeg udp: CPU s/min':>21} {'drops':>5} {'lost':>5} {'1st ms':>6}")
    for rate in (10, 20, 40, 80):
        r = run(work, rate)
        print(f"{rate:>6} | {r['addon_cpu']:>17.2f} {r['addon_drops']:>5} {r['addon_corrupt']:>7}"
              f" {r['addon_first']:>6} | {r['ffmpeg_cpu']:>21.2f} {r['ffmpeg_drops']:>5}"
              f" {r['ffmpeg_corrupt']:>5} {r['ffmpeg_first']:>6.0f}")
    subprocess.run(["rm", "-rf", work])


main()
