#!/usr/bin/env python3
"""A cloud recording copied to a file by the add-on beside FFmpeg's UDP copy.

In the private test network headend's video server sends a recording of
SECONDS seconds (bare MPEG-TS datagrams, padded to 10, 20 and 40 Mbit/s)
that the add-on's copier (bench/rtsp_bench --copy, the client the nightly
copies use) writes to a file; in the same run headend's channel sender sends
channel 1001 at the same rate and Debian's ffmpeg writes it to a file
(`ffmpeg -i udp://239.0.0.1:8208 -c copy`). For each it prints the CPU
seconds per minute of stream and per Mbit/s, the datagrams its sockets
dropped, and for the copy whether it completed, whether its bytes are all
the datagrams the server sent (byte count = datagrams x 1316) and whether its
SHA-256 is the one the server logged for the session's transport stream.

    bench/sync_copy.py [build-dir] [seconds]
"""
import hashlib
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
URL = "rtsp://vod.quorvina.es:554/cloud/copia"

if os.environ.get("QUORVINA_NETNS") != "1":
    os.execv(os.path.join(ROOT, "scripts/netns-run.sh"),
             ["netns-run.sh", sys.executable, os.path.abspath(__file__), BUILD, str(SECONDS)])


def scenario(work, rate):
    with open(os.path.join(ROOT, "tools/headend/scenarios/default.json")) as f:
        s = json.load(f)
    bits = rate * 1000000
    s["tv"] = {"fullRate": "named", "channels": [{"id": "1001", "bitrate": bits,
                                                  "transport": "udp"}]}
    s["rtsp"] = {"assets": [{"path": "/cloud/copia", "duration": SECONDS, "transport": "udp",
                             "bitrate": bits}]}
    s["dns"] = {"records": [{"name": "vod.quorvina.es", "a": "172.26.24.10"}]}
    path = os.path.join(work, f"sync{rate}.json")
    with open(path, "w") as f:
        json.dump(s, f)
    return path


def run(work, rate):
    log = os.path.join(work, f"headend{rate}.log")
    headend = start_headend(BUILD, scenario(work, rate), log)
    copy = os.path.join(work, f"copia{rate}.mpeg")
    out = os.path.join(work, f"addon{rate}.log")
    addon = subprocess.Popen([os.path.join(BUILD, "bench/rtsp_bench"), "--copy", URL,
                              str(SECONDS + 20), copy], stdout=open(out, "w"),
                             stderr=subprocess.STDOUT)
    ffmpeg = subprocess.Popen(["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-i",
                               "udp://239.0.0.1:8208?fifo_size=1000000&overrun_nonfatal=1",
                               "-t", str(SECONDS), "-c", "copy", "-f", "mpegts",
                               os.path.join(work, f"ffmpeg{rate}.ts")],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for(out, "ready", 30)
    watches = [Watch(addon.pid), Watch(ffmpeg.pid)]
    for w in watches:
        w.start()
    start = time.time()
    # CPU is read while each process lives: the last reading stands.
    while (addon.poll() is None or ffmpeg.poll() is None) and time.time() < start + SECONDS + 20:
        for w in watches:
            w.poll()
            try:
                w.stop()
            except OSError:
                pass
        time.sleep(0.2)
    addon.wait(timeout=30)
    ffmpeg.wait(timeout=30)
    headend.terminate()
    headend.wait(timeout=10)
    report = open(out, errors="replace").read()
    field = lambda name: (re.search(rf"{name} (\S+)", report) or [None, "0"])[1]
    text = open(log, errors="replace").read()
    sent = re.findall(r"ends, (\d+) datagrams sent", text)
    expected = int(sent[-1]) * 1316 if sent else -1
    # The server's own digest of the session's transport stream, against the file's.
    logged = re.findall(r"TS bytes, sha256 ([0-9a-f]{64})", text)
    digest = hashlib.sha256()
    if os.path.exists(copy):
        with open(copy, "rb") as f:
            for block in iter(lambda: f.read(1 << 20), b""):
                digest.update(block)
    same = "yes" if logged and os.path.exists(copy) and digest.hexdigest() == logged[-1] else "no"
    return {"complete": field("complete"), "bytes": int(field("bytes")), "expected": expected,
            "sha": same, "sha256": digest.hexdigest(), "addon": watches[0], "ffmpeg": watches[1]}


def main():
    work = tempfile.mkdtemp(prefix="quorvina-sync-bench-")
    print(f"a {SECONDS} s recording copied by the add-on, {SECONDS} s of a channel by ffmpeg")
    print(f"{'Mbit/s':>6} | {'add-on: CPU s/min':>17} {'s/min/Mbit':>10} {'drops':>5}"
          f" {'done':>4} {'bytes':>10} {'sent':>10} {'sha256':>6} | {'ffmpeg: CPU s/min':>17}"
          f" {'s/min/Mbit':>10} {'drops':>5}")
    for rate in (10, 20, 40):
        r = run(work, rate)
        a, f = r["addon"], r["ffmpeg"]
        acpu, fcpu = a.per_minute(SECONDS), f.per_minute(SECONDS)
        print(f"{rate:>6} | {acpu:>17.2f} {acpu / rate:>10.3f} {sum(a.drops.values()):>5}"
              f" {r['complete']:>4} {r['bytes']:>10} {r['expected']:>10} {r['sha']:>6} |"
              f" {fcpu:>17.2f} {fcpu / rate:>10.3f} {sum(f.drops.values()):>5}")
        print(f"       copy sha256 {r['sha256']}")
    subprocess.run(["rm", "-rf", work])


main()
