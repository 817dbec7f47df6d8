"""Whole-program measurement: does a consumer flooding the receiver with
input move its output? Runs the MTK model at 10 Hz on a pseudo-terminal
for 100 updates, once with nothing sent back and once with about 1.5 MB
of garbage, overlong sentences and half UBX frames a second, three times
each, and prints the worst lateness the program reports (-v).

    python3 bench/input_flood.py build/bin/kovra-nmea
"""
import os
import re
import select
import subprocess
import sys
import tempfile
import threading
import time
import tty

PROGRAM = sys.argv[1]
JUNK = (b"\xb5\x62\x06\x08\x06\x00\xc8" + b"$GPGGA," + b"9" * 200 + b"\r\n" + os.urandom(1000)) * 64


def run(flood):
    link = os.path.join(tempfile.mkdtemp(prefix="kovra-flood-"), "gps")
    process = subprocess.Popen([PROGRAM, "-v", "--receiver", "mtk", "--rate", "10", "--count", "100", "--pty", link],
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    for _ in range(200):
        if os.path.exists(link):
            break
        time.sleep(0.01)
    fd = os.open(link, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    done, sent = threading.Event(), [0]

    def write():
        while not done.is_set():
            try:
                sent[0] += os.write(fd, JUNK)
            except BlockingIOError:
                pass
            except OSError:
                return
            time.sleep(0.05)

    writer = threading.Thread(target=write)
    if flood:
        writer.start()
    deadline = time.time() + 30
    while process.poll() is None and time.time() < deadline:
        if select.select([fd], [], [], 0.05)[0]:
            try:
                os.read(fd, 65536)
            except OSError:
                break
    done.set()
    if flood:
        writer.join()
    err = process.communicate(timeout=10)[1].decode(errors="replace")
    os.close(fd)
    lateness = re.search(r"worst lateness ([0-9.]+) ms", err)
    return float(lateness.group(1)) if lateness else float("nan"), sent[0]


for _ in range(3):
    quiet, _ = run(False)
    flooded, sent = run(True)
    print(f"worst lateness: {quiet:.2f} ms quiet, {flooded:.2f} ms with {sent / 1e6:.1f} MB of input in 10 s")
