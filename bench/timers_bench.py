#!/usr/bin/env python3
"""A local timer's recording beside FFmpeg's own recording of the same group.

In the private test network the headend sends one HD channel as RTP at 10,
20, 40 and 80 Mbit/s. In the same run (a) hostsim gives the add-on a local
timer on it (the add-on joins the group and writes a ".mpeg" file) and (b)
Debian's ffmpeg records the same group (`ffmpeg -i rtp://... -c copy -f
mpegts`). For each rate it prints the CPU seconds per minute of stream of the
add-on's recorder thread and writer thread and of ffmpeg, the datagrams the
kernel dropped at each one's socket, the continuity-counter errors in the
add-on's file (ISO/IEC 13818-1, null packets and flagged discontinuities
skipped) and the packets ffmpeg's demuxer flagged corrupt, and the peak of
the writer's buffer pool.

    bench/timers_bench.py [build-dir] [seconds of recording]
"""
import json
import os
import re
import subprocess
import sys
import tempfile
import time

from procwatch import HZ, Watch, start_headend, wait_for

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build")
SECONDS = int(sys.argv[2]) if len(sys.argv) > 2 else 60
CHANNEL, GROUP = "2001", "239.0.5.1:8208"
THREADS = ("quorvina-timer", "quorvina-disco")

if os.environ.get("QUORVINA_NETNS") != "1":
    os.execv(os.path.join(ROOT, "scripts/netns-run.sh"),
             ["netns-run.sh", sys.executable, os.path.abspath(__file__), BUILD, str(SECONDS)])


def scenario(work, rate):
    with open(os.path.join(ROOT, "tools/headend/scenarios/default.json")) as f:
        s = json.load(f)
    s["guide"] = {"days": 0}
    s["tv"] = {"fullRate": "named",
               "channels": [{"id": CHANNEL, "transport": "rtp", "bitrate": rate * 1000000}]}
    path = os.path.join(work, f"tv{rate}.json")
    with open(path, "w") as f:
        json.dump(s, f)
    return path


def thread_cpu(pid):
    """OS thread name -> CPU seconds, summed over threads of that name."""
    out = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/stat") as f:
                text = f.read()
        except OSError:
            continue
        name = text[text.index("(") + 1:text.rindex(")")]
        fields = text.rsplit(")", 1)[1].split()
        out[name] = out.get(name, 0) + (int(fields[11]) + int(fields[12])) / HZ
    return out


def continuity_errors(path):
    """Continuity-counter faults of a TS file; -1 when it loses sync."""
    last, errors = {}, 0
    with open(path, "rb") as f:
        while True:
            block = f.read(188 * 4096)
            if not block:
                break
            for off in range(0, len(block) - 187, 188):
                if block[off] != 0x47:
                    return -1
                pid = ((block[off + 1] & 0x1F) << 8) | block[off + 2]
                flags = block[off + 3]
                if pid == 0x1FFF or not flags & 0x10:
                    continue
                cc = flags & 0x0F
                if flags & 0x20 and block[off + 4] > 0 and block[off + 5] & 0x80:
                    last[pid] = cc
                    continue
                prev = last.get(pid)
                if prev is not None and cc != (prev + 1) & 0x0F:
                    errors += 1
                last[pid] = cc
    return errors


def run(work, rate):
    log = os.path.join(work, f"headend{rate}.log")
    headend = start_headend(BUILD, scenario(work, rate), log)
    user, rec = os.path.join(work, f"user{rate}"), os.path.join(work, f"rec{rate}")
    os.makedirs(user)
    os.makedirs(rec)
    with open(os.path.join(user, "settings.xml"), "w") as f:
        f.write(f'<settings><setting id="recordfolder" value="{rec}/" />'
                '<setting id="TipoGrabacionPorDefecto" value="2" /></settings>')
    out = os.path.join(work, f"hostsim{rate}.log")
    hostsim = subprocess.Popen([os.path.join(BUILD, "tools/hostsim/hostsim"), "--addon",
                                os.path.join(BUILD, "stage/pvr.quorvina"), "--user", user,
                                "--no-json-rpc", "channels", "--wait", "60", "add-timer",
                                "--channel", CHANNEL, "--start", "3", "--end", str(3 + SECONDS),
                                "--title", "Banco", "sleep", str(SECONDS + 8), "timers"],
                               stdout=open(out, "w"), stderr=subprocess.STDOUT)
    wait_for(out, "== add-timer", 90)
    # ffmpeg joins while the timer waits for its start, and probes meanwhile.
    ffout = os.path.join(work, f"ffmpeg{rate}.ts")
    ffmpeg = subprocess.Popen(["ffmpeg", "-nostdin", "-loglevel", "warning", "-y",
                               "-i", f"rtp://{GROUP}", "-c", "copy", "-f", "mpegts", ffout],
                              stdout=subprocess.DEVNULL,
                              stderr=open(os.path.join(work, f"ffmpeg{rate}.log"), "w"))
    mine = os.path.join(rec, "Banco.mpeg")
    end = time.time() + 20
    while not os.path.exists(mine) and time.time() < end:
        time.sleep(0.05)
    time.sleep(1)
    addon, peer = Watch(hostsim.pid), Watch(ffmpeg.pid)
    threads0 = thread_cpu(hostsim.pid)
    for w in (addon, peer):
        w.start()
    measured = SECONDS - 4
    end = time.time() + measured
    while time.time() < end:
        addon.poll()
        peer.poll()
        time.sleep(0.2)
    for w in (addon, peer):
        w.poll()
        w.stop()
    threads1 = thread_cpu(hostsim.pid)
    hostsim.wait(timeout=120)
    ffmpeg.terminate()
    ffmpeg.wait(timeout=10)
    headend.terminate()
    headend.wait(timeout=10)
    per_min = {t: (threads1.get(t, 0) - threads0.get(t, 0)) * 60 / measured for t in THREADS}
    report = open(out, errors="replace").read()
    peak = re.search(r"pico de buffers (\d+) de (\d+)", report)
    figures = {
        "recorder": per_min["quorvina-timer"], "writer": per_min["quorvina-disco"],
        "drops": sum(addon.drops.values()), "cc": continuity_errors(mine),
        "mb": os.path.getsize(mine) / 1e6 if os.path.exists(mine) else 0,
        "peak": f"{peak.group(1)}/{peak.group(2)}" if peak else "?",
        "errors": report.count("Error grabacion"),
        "ffcpu": peer.per_minute(measured), "ffdrops": sum(peer.drops.values()),
        # ffmpeg renumbers the counters when it remuxes: its own demuxer's
        # warnings tell what it lost.
        "ffcc": open(os.path.join(work, f"ffmpeg{rate}.log"), errors="replace").read()
        .count("Packet corrupt"),
        "ffmb": os.path.getsize(ffout) / 1e6 if os.path.exists(ffout) else 0,
    }
    subprocess.run(["rm", "-rf", rec, ffout])
    return figures


def main():
    work = tempfile.mkdtemp(prefix="quorvina-timers-bench-")
    print(f"one HD channel over RTP, a {SECONDS} s local timer beside ffmpeg, "
          f"{SECONDS - 4} s measured; CPU in s per minute of stream")
    print(f"{'Mbit/s':>6} | {'recorder':>8} {'writer':>6} {'drops':>5} {'cc err':>6} {'MB':>6}"
          f" {'pool peak':>9} | {'ffmpeg':>6} {'drops':>5} {'corrupt':>7} {'MB':>6} |"
          f" {'add-on/ffmpeg CPU':>17}")
    for rate in (10, 20, 40, 80):
        f = run(work, rate)
        ours = f["recorder"] + f["writer"]
        ratio = ours / f["ffcpu"] if f["ffcpu"] > 0 else float("nan")
        print(f"{rate:>6} | {f['recorder']:>8.2f} {f['writer']:>6.2f} {f['drops']:>5}"
              f" {f['cc']:>6} {f['mb']:>6.0f} {f['peak']:>9} | {f['ffcpu']:>6.2f}"
              f" {f['ffdrops']:>5} {f['ffcc']:>7} {f['ffmb']:>6.0f} | {ratio:>17.2f}"
              + (f"  ({f['errors']} recording errors)" if f["errors"] else ""))
    subprocess.run(["rm", "-rf", work])


main()
