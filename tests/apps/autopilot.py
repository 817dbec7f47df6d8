"""The steering loop end to end: a route follower of our own reads the
stream on the --tcp-connect link and sends APB back, as a chart plotter
does to an autopilot; the vessel (--autopilot) reaches each waypoint of a
three-waypoint route within the arrival radius, holds its course once the
sentences stop, and the truth log tells what it heard and did. Loopback
only; every wait is bounded."""
import json
import math
import os
import re
import socket
import subprocess
import sys
import tempfile
import time

PROGRAM = sys.argv[1]
ARRIVAL_NM = 0.1
# 1 nm north, 1 nm east, 1 nm north again, from 54°N 10°E.
EAST = 1 / 60 / math.cos(math.radians(54.0167))
ROUTE = [("WP1", 54 + 1 / 60, 10.0), ("WP2", 54 + 1 / 60, 10 + EAST), ("WP3", 54 + 2 / 60, 10 + EAST)]


def nmea(body):
    checksum = 0
    for c in body.encode():
        checksum ^= c
    return f"${body}*{checksum:02X}\r\n".encode()


def degrees(text, hemisphere, width):
    value = int(text[:width]) + float(text[width:]) / 60
    return -value if hemisphere in "SW" else value


def range_and_bearing(lat1, lon1, lat2, lon2):
    """On a sphere: near enough to steer by over a mile."""
    north = (lat2 - lat1) * 60
    east = (lon2 - lon1) * 60 * math.cos(math.radians((lat1 + lat2) / 2))
    return math.hypot(north, east), math.degrees(math.atan2(east, north)) % 360


def main():
    work = tempfile.mkdtemp(prefix="kovra-autopilot-")
    truth = os.path.join(work, "truth.jsonl")
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(1)
    server.settimeout(10)
    program = subprocess.Popen([PROGRAM, "--time", "2026-12-08T12:00:00Z", "--lat", "54.0", "--lon", "10.0",
                                "--course", "90", "--speed", "30", "--autopilot", "--speedup", "20", "--count", "420",
                                "--sentences", "RMC", "--truth", truth,
                                "--tcp-connect", f"127.0.0.1:{server.getsockname()[1]}"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    closest = [math.inf] * len(ROUTE)
    leg, buffer, courses_after = 0, b"", []
    try:
        link, _ = server.accept()
        link.settimeout(1)
        deadline = time.time() + 60
        while time.time() < deadline:
            try:
                chunk = link.recv(65536)
            except socket.timeout:
                continue
            if not chunk:
                break
            buffer += chunk
            *lines, buffer = buffer.split(b"\r\n")
            for line in lines:
                m = re.match(rb"\$GNRMC,[^,]*,A,(\d+\.\d+),([NS]),(\d+\.\d+),([EW]),[^,]*,([^,]*),", line)
                if not m:
                    continue
                lat = degrees(m.group(1).decode(), m.group(2).decode(), 2)
                lon = degrees(m.group(3).decode(), m.group(4).decode(), 3)
                if leg == len(ROUTE):
                    courses_after.append(float(m.group(5) or "nan"))
                    continue
                name, wlat, wlon = ROUTE[leg]
                distance, bearing = range_and_bearing(lat, lon, wlat, wlon)
                closest[leg] = min(closest[leg], distance)
                if distance <= ARRIVAL_NM:
                    leg += 1  # arrived: on to the next, or silence after the last
                    continue
                b = f"{bearing:05.1f}"
                link.sendall(nmea(f"ECAPB,A,A,0.00,L,N,V,V,{b},T,{name},{b},T,{b},T,A"))
    finally:
        program.kill()
        program.wait(timeout=10)
    failures = 0
    for (name, _, _), distance in zip(ROUTE, closest):
        ok = distance <= ARRIVAL_NM
        failures += not ok
        print(f"{name}: closest {distance:.3f} nm{'' if ok else ' — not reached'}")
    # Silent after the last waypoint: the course held (after the turn in hand ends), never another.
    held = courses_after[20:]
    if len(held) < 20 or max(held) - min(held) > 0.01:
        failures += 1
        print(f"after the last waypoint the course was not held: {courses_after[:40]}")
    with open(truth, encoding="utf-8") as file:
        told = " ".join(line for line in file if "autopilot" in line)
    for words in ("autopilot APB: steering", "autopilot silent: holding"):
        if words not in told:
            failures += 1
            print(f"the truth log does not say '{words}'")
    return 1 if failures else 0


sys.exit(main())
