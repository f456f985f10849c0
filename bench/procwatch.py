"""What a benchmark watches of a process: its CPU time and the datagrams the
kernel dropped at its UDP sockets, read from /proc."""
import os
import re
import subprocess
import time

HZ = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / HZ


def socket_inodes(pid):
    inodes = set()
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            link = os.readlink(f"/proc/{pid}/fd/{fd}")
        except OSError:
            continue
        m = re.match(r"socket:\[(\d+)\]", link)
        if m:
            inodes.add(m.group(1))
    return inodes


def udp_drops():
    """Socket inode -> datagrams dropped at its receive queue."""
    drops = {}
    with open("/proc/net/udp") as f:
        for line in f.readlines()[1:]:
            cols = line.split()
            drops[cols[9]] = int(cols[12])
    return drops


class Watch:
    """CPU and socket drops of one process over the measured window."""

    def __init__(self, pid):
        self.pid, self.drops, self.cpu0, self.cpu1 = pid, {}, None, None

    def poll(self):
        try:
            mine = socket_inodes(self.pid)
        except OSError:
            return
        for inode, count in udp_drops().items():
            if inode in mine:
                self.drops[inode] = max(count, self.drops.get(inode, 0))

    def start(self):
        self.cpu0 = cpu_seconds(self.pid)

    def stop(self):
        self.cpu1 = cpu_seconds(self.pid)

    def per_minute(self, seconds):
        return (self.cpu1 - self.cpu0) * 60 / seconds


def wait_for(path, text, timeout, step=0.05):
    """True once the file holds the text, false after the time-out."""
    end = time.time() + timeout
    while time.time() < end:
        with open(path, errors="replace") as f:
            if text in f.read():
                return True
        time.sleep(step)
    return False


def start_headend(build, scenario_path, log):
    """Starts headend on a scenario, its output in `log`, and waits until it serves."""
    headend = subprocess.Popen([os.path.join(build, "tools/headend/headend"), "--scenario",
                                scenario_path], stdout=open(log, "w"), stderr=subprocess.STDOUT)
    wait_for(log, "headend ready", 15)
    return headend
