"""gpsd 3.22, started without -b on the pseudo-terminal of a simulated
u-blox 8, finds it as it finds a real one: its probe's MON-VER is answered,
its DEVICE report names the u-blox driver and the firmware's versions, it
configures the receiver (port, NAV messages on, NMEA off) and goes on
reporting from UBX alone the fix and the satellites that a second gpsd
reads from the NMEA of the same receiver in the same world; gpsctl sets the
rate through gpsd, and ubxtool polls MON-VER and NAV-PVT from the device
itself. Loopback only; every wait is bounded."""
import datetime
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

from gpsd_support import free_port, start_gpsd, stop, wait_for_link, watch

PROGRAM = sys.argv[1]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what, file=sys.stderr)


class Twin:
    """A simulated u-blox 8 on a pseudo-terminal and gpsd reading it."""

    def __init__(self, work, name, configure, options):
        link = os.path.join(work, name)
        os.makedirs(os.path.join(work, name + ".gpsd"))
        self.simulator = subprocess.Popen([PROGRAM, "--receiver", "ublox-m8", "--pty", link, *options],
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for_link(link)
        self.port = free_port()
        self.gpsd = start_gpsd(link, self.port, os.path.join(work, name + ".gpsd"), configure=configure)
        self.reports = []

    def collect(self, seconds, enough=lambda reports: False):
        if self.gpsd is not None:
            watch(self.port, seconds, lambda r: self.reports.append(r) or enough(self.reports))

    def stop(self):
        stop(self.gpsd, self.simulator)


def driver_of(reports):
    drivers = [r["driver"] for r in reports if r.get("class") == "DEVICE" and r.get("driver")]
    return drivers[-1] if drivers else None


def from_ubx(reports):
    """The reports after gpsd named the u-blox driver and configured it: its TPVs by time, its last SKY."""
    after = False
    tpv, sky = {}, None
    for r in reports:
        after = after or (r.get("class") == "DEVICE" and r.get("driver") == "u-blox")
        if after and r.get("class") == "TPV" and r.get("mode") == 3:
            tpv[r["time"]] = r
        if after and r.get("class") == "SKY" and r.get("satellites"):
            sky = r
    return tpv, sky


def satellites(sky):
    return {(s["gnssid"], s["svid"]): s for s in sky["satellites"]} if sky else {}


def same_fix():
    """The fix and the sky gpsd reports from UBX are those it reports from NMEA."""
    work = tempfile.mkdtemp(prefix="kovra-gpsd-ubx-")
    same = ["--time", "2026-06-01T12:00:00Z", "--rate", "2", "--count", "60"]
    ubx, nmea = Twin(work, "ubx", True, same), Twin(work, "nmea", False, same)
    try:
        check(ubx.gpsd is not None and nmea.gpsd is not None, "gpsd listens")
        threads = [threading.Thread(target=t.collect, args=(25,)) for t in (ubx, nmea)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    finally:
        ubx.stop()
        nmea.stop()
    devices = [r for r in ubx.reports if r.get("class") == "DEVICE" and r.get("driver") == "u-blox"]
    check(devices and "ROM CORE 3.01" in devices[-1].get("subtype", "")
          and "PROTVER=18.00" in devices[-1].get("subtype1", ""),
          f"gpsd names the u-blox driver and MON-VER's versions: {devices[-1:] if devices else driver_of(ubx.reports)}")
    tpv, sky = from_ubx(ubx.reports)
    by_nmea = {r["time"]: r for r in nmea.reports if r.get("class") == "TPV" and r.get("mode") == 3}
    common = sorted(set(tpv) & set(by_nmea))
    check(len(common) >= 10, f"3D fixes from UBX at the times NMEA gives them: {len(common)}")
    tolerances = {"lat": 2e-7, "lon": 2e-7, "altHAE": 0.06, "altMSL": 0.06, "speed": 0.01, "track": 0.01, "magvar": 0.01}
    for time_ in common:
        for field, tolerance in tolerances.items():
            a, b = tpv[time_].get(field), by_nmea[time_].get(field)
            check(a is not None and b is not None and abs(a - b) <= tolerance,
                  f"{time_}: {field} {a} from UBX, {b} from NMEA")
    nmea_sky = [r for r in nmea.reports if r.get("class") == "SKY" and r.get("satellites")]
    seen, heard = satellites(sky), satellites(nmea_sky[-1] if nmea_sky else None)
    check(seen and seen.keys() == heard.keys(), f"the same satellites: {sorted(seen)} and {sorted(heard)}")
    for key in seen.keys() & heard.keys():
        check(all(seen[key][f] == heard[key][f] for f in ("el", "az", "ss")), f"satellite {key}: {seen[key]} {heard[key]}")
        if seen[key]["used"] != heard[key]["used"]:
            # GSA names twelve satellites a system; a thirteenth used is not in it.
            group = {g for g in ((0, 1) if key[0] in (0, 1) else (key[0],))}
            full = sum(1 for k, s in heard.items() if k[0] in group and s["used"]) == 12
            check(seen[key]["used"] and full, f"satellite {key} used by UBX, not by NMEA: {seen[key]} {heard[key]}")
    print(f"gpsd: {len(common)} fixes and {len(seen)} satellites from UBX as from NMEA")


def default_port_free():
    with socket.socket() as probe:
        try:
            probe.bind(("127.0.0.1", 2947))
            return True
        except OSError:
            return False


def with_gpsctl():
    """gpsctl -c 0.2 through gpsd: CFG-RATE, acknowledged, and five fixes a second from then on.
    gpsctl finds gpsd on its default port only."""
    if not default_port_free():
        print("gpsctl: skipped, 127.0.0.1:2947 (where gpsctl looks for gpsd) is taken")
        return
    work = tempfile.mkdtemp(prefix="kovra-gpsctl-")
    link = os.path.join(work, "gps")
    simulator = subprocess.Popen([PROGRAM, "--receiver", "ublox-m8", "--pty", link, "--count", "40"],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    gpsd = None
    try:
        wait_for_link(link)
        gpsd = start_gpsd(link, 2947, work, configure=True)
        check(gpsd is not None, "gpsctl: gpsd listens on 2947")
        named = []
        watch(2947, 15, lambda r: bool(named.append(r)) or driver_of(named) == "u-blox")
        check(driver_of(named) == "u-blox", "gpsctl: gpsd has found the u-blox")
        run = subprocess.run(["gpsctl", "-c", "0.2"], capture_output=True, text=True, timeout=30)
        check(run.returncode == 0, f"gpsctl -c 0.2 succeeds: {run.stderr[-300:]!r}")
        times = []
        watch(2947, 6, lambda r: (r.get("class") == "TPV" and "time" in r and times.append(r["time"])) or len(set(times)) >= 12)
        steps = sorted({datetime.datetime.fromisoformat(t.replace("Z", "+00:00")).timestamp() for t in times})
        gaps = [round(b - a, 3) for a, b in zip(steps, steps[1:])]
        check(len(gaps) >= 8 and all(abs(g - 0.2) < 0.01 for g in gaps), f"gpsctl: fixes every 0.2 s after it: {gaps}")
        print(f"gpsctl: {len(steps)} fixes, {gaps[:4]} s apart")
    finally:
        stop(gpsd, simulator)


def with_ubxtool():
    """ubxtool, gpsd's own tool, on the device: MON-VER and a polled NAV-PVT."""
    work = tempfile.mkdtemp(prefix="kovra-ubxtool-")
    link = os.path.join(work, "gps")
    simulator = subprocess.Popen([PROGRAM, "--receiver", "ublox-m8", "--pty", link, "--count", "30"],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_for_link(link)
        answers = {}
        for message in ("MON-VER", "NAV-PVT"):
            run = subprocess.run(["ubxtool", "-f", link, "-P", "18", "-p", message, "-w", "2"],
                                 capture_output=True, text=True, timeout=20)
            answers[message] = run.stdout
    finally:
        stop(simulator)
    check("swVersion ROM CORE 3.01 (107888)" in answers["MON-VER"], "ubxtool: MON-VER answered")
    check("fixType 3" in answers["NAV-PVT"], "ubxtool: NAV-PVT polled, with a 3D fix")


for case in (same_fix, with_gpsctl, with_ubxtool):
    try:
        case()
    except Exception as error:  # a case that cannot run fails, with why
        check(False, f"{case.__name__}: {error}")
print(f"gpsd and the u-blox: {len(failures)} failures")
sys.exit(1 if failures else 0)
