#!/usr/bin/env python3
"""The add-on's media server side by side with minidlna, one run each in its
own private network: (a) the add-on in `hostsim serve` (headend, default
scenario, ActivarDLNA on) and (b) minidlnad serving as many small JPEG files
as the add-on has channels. With the same client (tests/e2e/upnp_client.py):
the whole line-up browsed in pages of 10 (minidlna: the folder holding the
files), ROUNDS times, and 200 image GETs (our channel logos, minidlna's
files). Prints median and 90th-percentile times side by side.

  bench/upnp_bench.py [build-dir] [rounds]        (default: build 20)
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import upnp_client  # noqa: E402

GETS = 200


def timed(fn):
    t = time.perf_counter()
    fn()
    return (time.perf_counter() - t) * 1000


def measure(location, object_id, images, rounds):
    control = upnp_client.control_url(location)
    browse = [timed(lambda: upnp_client.list_all(control, object_id, 10, 0)) for _ in range(rounds)]
    gets = [timed(lambda u=images[i % len(images)]: upnp_client.request(u)) for i in range(GETS)]
    items, pages = upnp_client.list_all(control, object_id, 10, 0)
    return {"items": len(items), "pages": pages, "browse": browse, "gets": gets}


def ours(build, rounds):
    work = tempfile.mkdtemp(prefix="quorvina-upnp-bench-")
    os.makedirs(work + "/user")
    with open(work + "/user/settings.xml", "w") as f:
        f.write('<settings><setting id="ActivarDLNA" value="true"/></settings>')
    headend = subprocess.Popen([build + "/tools/headend/headend", "--scenario",
                                ROOT + "/tools/headend/scenarios/default.json"],
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    hostsim = None
    try:
        for line in headend.stdout:
            if "headend ready" in line:
                break
        hostsim = subprocess.Popen([build + "/tools/hostsim/hostsim", "--addon",
                                    build + "/stage/pvr.quorvina", "--user", work + "/user",
                                    "--quiet-log", "channels", "--wait", "60", "serve"],
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        for line in hostsim.stdout:
            if line.startswith("serving"):
                break
        time.sleep(1)
        location = "http://172.26.22.23:4243/device.xml"
        items, _ = upnp_client.list_all(upnp_client.control_url(location), "0", 10, 0)
        return measure(location, "0", [i["albumArtURI"] for i in items], rounds)
    finally:
        for p in (hostsim, headend):
            if p:
                p.terminate()
                p.wait()


def minidlna(files, rounds):
    location = os.environ["MINIDLNA_LOCATION"]
    control = upnp_client.control_url(location)
    # The folder that holds the files: the deepest one with that many items.
    todo, best = ["0"], None
    while todo:
        object_id = todo.pop()
        _, items, containers, _, total = upnp_client.browse(control, object_id, count=0)
        todo += containers
        if total >= files and items and (best is None or len(items) > len(best[1])):
            best = (object_id, items)
    images = [i["res"] for i in best[1] if i["res"].endswith(".jpg")]
    return measure(location, best[0], images, rounds)


def side(argv):
    kind, build, rounds = argv[2], argv[3], int(argv[4])
    if kind == "ours":
        out = ours(build, rounds)
    else:
        out = minidlna(int(argv[5]), rounds)
    json.dump(out, sys.stdout)


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--side":
        return side(sys.argv)
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else ROOT + "/build")
    rounds = sys.argv[2] if len(sys.argv) > 2 else "20"
    netns = ROOT + "/scripts/netns-run.sh"
    me = os.path.abspath(__file__)
    a = json.loads(subprocess.check_output([netns, sys.executable, me, "--side", "ours", build,
                                            rounds]))
    b = json.loads(subprocess.check_output([netns, ROOT + "/bench/minidlna_peer.sh",
                                            str(a["items"]), sys.executable, me, "--side",
                                            "minidlna", build, rounds, str(a["items"])]))

    def row(label, key):
        def fig(d):
            v = sorted(d[key])
            return "%8.2f %8.2f" % (statistics.median(v), v[int(len(v) * 0.9) - 1])
        print("%-28s %s   %s" % (label, fig(a), fig(b)))

    print("%-28s %17s   %17s" % ("", "add-on", "minidlna"))
    print("%-28s %8s %8s   %8s %8s" % ("ms", "median", "p90", "median", "p90"))
    print("%-28s %17d   %17d" % ("items", a["items"], b["items"]))
    print("%-28s %17d   %17d" % ("pages of 10", a["pages"], b["pages"]))
    row("whole browse (%s rounds)" % rounds, "browse")
    row("image GET (%d)" % GETS, "gets")


if __name__ == "__main__":
    main()
