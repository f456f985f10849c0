#!/usr/bin/env python3
"""Live TV through the add-on beside FFmpeg's own UDP input.

In the private test network the headend sends one HD channel as bare UDP at
10, 20, 40 and 80 Mbit/s. In the same run (a) hostsim plays it through the
add-on (OpenLiveStream, DemuxRead in a loop) and (b) Debian's ffmpeg reads the
same group (`ffmpeg -i udp://... -c copy -f null -`). For each it prints the
CPU seconds per minute of stream, the datagrams the kernel dropped at its
socket (and, for ffmpeg, its own buffer overruns) and the packets FFmpeg's
demuxer flagged corrupt (continuity errors). Then, at 40 Mbit/s, hostsim
pauses for most of a run so that the add-on's recorder writes the timeshift
file, and the script reports the rate written and any loss.

    bench/live_tv.py [build-dir] [seconds per run]
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
CHANNEL, GROUP = "2001", "239.0.5.1:8208"

if os.environ.get("QUORVINA_NETNS") != "1":
    os.execv(os.path.join(ROOT, "scripts/netns-run.sh"),
             ["netns-run.sh", sys.executable, os.path.abspath(__file__), BUILD, str(SECONDS)])


def scenario(work, rate):
    with open(os.path.join(ROOT, "tools/headend/scenarios/default.json")) as f:
        s = json.load(f)
    s["tv"] = {"fullRate": "named",
               "channels": [{"id": CHANNEL, "transport": "udp", "bitrate": rate * 1000000}]}
    path = os.path.join(work, f"tv{rate}.json")
    with open(path, "w") as f:
        json.dump(s, f)
    return path


def run(work, rate, pause=False):
    log = os.path.join(work, f"headend{rate}.log")
    headend = start_headend(BUILD, scenario(work, rate), log)
    user = os.path.join(work, f"user{rate}{'p' if pause else ''}")
    os.makedirs(os.path.join(work, "ts"), exist_ok=True)
    os.makedirs(user, exist_ok=True)
    with open(os.path.join(user, "settings.xml"), "w") as f:
        f.write(f'<settings><setting id="timeshiftfolder" value="{work}/ts/" /></settings>')
    play = ["play", CHANNEL, "--seconds", str(SECONDS + 3)]
    if pause:
        play += ["--pause-at", "2", "--resume-at", str(SECONDS + 1)]
    out = os.path.join(work, f"hostsim{rate}.log")
    hostsim = subprocess.Popen([os.path.join(BUILD, "tools/hostsim/hostsim"), "--addon",
                                os.path.join(BUILD, "stage/pvr.quorvina"), "--user", user,
                                "--quiet-log", "--no-json-rpc", "channels", "--wait", "60"] + play,
                               stdout=open(out, "w"), stderr=subprocess.STDOUT)
    wait_for(out, "OpenLiveStream", 90)
    ffmpeg = None
    if not pause:
        ffmpeg = subprocess.Popen(["ffmpeg", "-nostdin", "-loglevel", "warning", "-i",
                                   f"udp://{GROUP}?overrun_nonfatal=1", "-c", "copy", "-f",
                                   "null", "-"], stdout=subprocess.DEVNULL,
                                  stderr=open(os.path.join(work, f"ffmpeg{rate}.log"), "w"))
    time.sleep(2)  # both have joined and probed; the pause has begun
    watches = [Watch(hostsim.pid)] + ([Watch(ffmpeg.pid)] if ffmpeg else [])
    for w in watches:
        w.start()
    end = time.time() + SECONDS - 1
    written = 0
    while time.time() < end:
        for w in watches:
            w.poll()
        if pause and os.path.exists(f"{work}/ts/timeshift.ts"):
            written = max(written, os.path.getsize(f"{work}/ts/timeshift.ts"))
        time.sleep(0.2)
    for w in watches:
        w.poll()
        w.stop()
    measured = SECONDS - 1
    hostsim.wait(timeout=120)
    if ffmpeg:
        ffmpeg.terminate()
        ffmpeg.wait(timeout=10)
    headend.terminate()
    headend.wait(timeout=10)
    report = open(out, errors="replace").read()
    return watches, measured, report, written


def count(path, text):
    with open(path, errors="replace") as f:
        return f.read().count(text)


def main():
    work = tempfile.mkdtemp(prefix="quorvina-bench-")
    print(f"one HD channel, bare UDP, {SECONDS - 1} s measured per rate")
    print(f"{'Mbit/s':>6} | {'add-on + host: CPU s/min':>24} {'drops':>6} {'corrupt':>7} |"
          f" {'ffmpeg -c copy: CPU s/min':>25} {'drops':>6} {'overruns':>8} {'corrupt':>7}")
    for rate in (10, 20, 40, 80):
        watches, measured, report, _ = run(work, rate)
        addon, ffmpeg = watches
        gaps = re.search(r"gaps over 500 ms: (\d+)", report)
        fflog = os.path.join(work, f"ffmpeg{rate}.log")
        print(f"{rate:>6} | {addon.per_minute(measured):>24.2f} {sum(addon.drops.values()):>6}"
              f" {report.count('Packet corrupt'):>7} | {ffmpeg.per_minute(measured):>25.2f}"
              f" {sum(ffmpeg.drops.values()):>6} {count(fflog, 'Circular buffer overrun'):>8}"
              f" {count(fflog, 'Packet corrupt'):>7}"
              + (f"   (hostsim gaps: {gaps.group(1)})" if gaps and gaps.group(1) != "0" else ""))
    watches, measured, report, written = run(work, 40, pause=True)
    addon = watches[0]
    gaps = re.search(r"gaps over 500 ms: (\d+)", report)
    print(f"timeshift at 40 Mbit/s: paused {measured} s, file reached {written / 1e6:.1f} MB"
          f" ({written * 8 / 1e6 / measured:.1f} Mbit/s written), CPU"
          f" {addon.per_minute(measured):.2f} s/min, drops {sum(addon.drops.values())},"
          f" gaps after the resume {gaps.group(1) if gaps else '?'}")
    subprocess.run(["rm", "-rf", work])


main()
