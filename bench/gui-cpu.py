#!/usr/bin/env python3
"""How much of a core Quelt uses, as the operator runs it: on a private X display with
openbox, both ports on pseudo-terminals.

    bench/gui-cpu.py [--seconds 60] [--build build]

Three runs, each measured over the given time after a settling period:
  silent     manual mode, nothing on either line (the GUI should find nothing to do);
             the analysis window is shown in every run;
  streaming  automatic mode against quelt-rtusim at 9600 bit/s (paced, values changing
             every second) behind COM2, and 960 octets a second of noise on COM1, with
             all four monitoring windows shown;
  recording  the same, recording both lines (quelt --record): the difference from
             streaming is what the line tap and the pcapng recording cost.
Prints the whole process and its GUI thread alone, in percent of one core.
"""
import argparse
import os
import random
import select
import subprocess
import sys
import tempfile
import threading
import time

CLK_TCK = os.sysconf("SC_CLK_TCK")


def cpu_ticks(path):
    with open(path) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime, stime


def start_display(work):
    fd_r, fd_w = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(fd_w), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            pass_fds=[fd_w], stderr=subprocess.DEVNULL)
    os.close(fd_w)
    display = ":" + os.read(fd_r, 16).decode().strip()
    os.close(fd_r)
    ready = os.path.join(work, "wm-ready")
    wm = subprocess.Popen(["openbox", "--startup", "touch " + ready], env=dict(os.environ, DISPLAY=display),
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(100):
        if os.path.exists(ready):
            break
        time.sleep(0.1)
    return display, [wm, xvfb]


class Relay(threading.Thread):
    """Joins two pty masters as a null-modem cable would."""

    def __init__(self, a, b):
        super().__init__(daemon=True)
        self.a, self.b, self.stop = a, b, False

    def run(self):
        while not self.stop:
            ready, _, _ = select.select([self.a, self.b], [], [], 0.2)
            for fd in ready:
                try:
                    data = os.read(fd, 4096)
                except OSError:
                    continue
                os.write(self.b if fd == self.a else self.a, data)


class Noise(threading.Thread):
    """960 octets a second, as a 9600 bit/s line carries them."""

    def __init__(self, fd):
        super().__init__(daemon=True)
        self.fd, self.stop = fd, False

    def run(self):
        while not self.stop:
            os.write(self.fd, bytes(random.randrange(256) for _ in range(96)))
            time.sleep(0.1)


def xdo(display, *args):
    subprocess.run(["xdotool", *args], env=dict(os.environ, DISPLAY=display), check=False,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def window_of(display, title):
    for _ in range(300):
        out = subprocess.run(["xdotool", "search", "--name", title], env=dict(os.environ, DISPLAY=display),
                             capture_output=True, text=True).stdout.split()
        if out:
            return out[0]
        time.sleep(0.1)
    sys.exit("no window " + title)


def measure(quelt_pid, seconds):
    process = f"/proc/{quelt_pid}/stat"
    gui = f"/proc/{quelt_pid}/task/{quelt_pid}/stat"
    p0, g0, t0 = cpu_ticks(process), cpu_ticks(gui), time.monotonic()
    time.sleep(seconds)
    p1, g1, t1 = cpu_ticks(process), cpu_ticks(gui), time.monotonic()
    elapsed = t1 - t0
    return 100.0 * (p1 - p0) / CLK_TCK / elapsed, 100.0 * (g1 - g0) / CLK_TCK / elapsed


def run(build, seconds, streaming, record):
    work = tempfile.mkdtemp()
    display, helpers = start_display(work)
    com1_m, com1_s = os.openpty()
    com2_m, com2_s = os.openpty()
    threads, procs = [], []
    if streaming:
        rtu_m, rtu_s = os.openpty()
        procs.append(subprocess.Popen([os.path.join(build, "quelt-rtusim"), os.ttyname(rtu_s), "--baud", "9600",
                                       "--pace", "--change-ms", "1000"], stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL))
        threads += [Relay(com2_m, rtu_m), Noise(com1_m)]
    else:
        threads.append(Relay(com1_m, com2_m))  # the far ends drained, never written
    for t in threads:
        t.start()
    quelt = None
    try:
        recording = ["--record", os.path.join(work, "line.pcapng")] if record else []
        quelt = subprocess.Popen([os.path.join(build, "quelt"), "--com1", os.ttyname(com1_s), "--com2",
                                  os.ttyname(com2_s)] + recording, env=dict(os.environ, DISPLAY=display),
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        window_of(display, "Quelt DNP3")
        time.sleep(2)
        xdo(display, "mousemove", "159", "31", "click", "1")  # 信息窗口
        time.sleep(0.5)
        xdo(display, "mousemove", "190", "149", "click", "1")  # 报文分析窗口
        time.sleep(0.5)
        if streaming:
            xdo(display, "mousemove", "35", "31", "click", "1")  # 参数设置
            time.sleep(0.5)
            xdo(display, "mousemove", "60", "101", "click", "1")  # 运行参数
            dialog = window_of(display, "运行参数")
            time.sleep(0.5)
            xdo(display, "mousemove", "--window", dialog, "31", "32", "click", "1")  # 自动问答
            xdo(display, "mousemove", "--window", dialog, "61", "207", "click", "1")  # 确认
            time.sleep(0.5)
            xdo(display, "mousemove", "159", "31", "click", "1")  # 信息窗口
            time.sleep(0.5)
            xdo(display, "mousemove", "183", "125", "click", "1")  # 告警窗口
            xdo(display, "mousemove", "700", "700")
        time.sleep(8)  # start-up sequence, windows drawn
        result = measure(quelt.pid, seconds)
    finally:  # a run that fails leaves nothing behind
        if quelt is not None:
            quelt.terminate()
            quelt.wait()
        for t in threads:
            t.stop = True
        for p in procs + helpers:
            p.terminate()
            p.wait()
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "build"))
    args = parser.parse_args()
    for name, streaming, record in (("silent", False, False), ("streaming", True, False), ("recording", True, True)):
        process, gui = run(args.build, args.seconds, streaming, record)
        print(f"{name:10s} process {process:5.2f} % of a core   GUI thread {gui:5.2f} %", flush=True)


if __name__ == "__main__":
    main()
