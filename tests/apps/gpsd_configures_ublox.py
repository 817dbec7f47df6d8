"""gpsd 3.22, started without -b on the pseudo-terminal of a simulated
u-blox 8, finds it as it finds a real one: its probe's MON-VER is answered,
its DEVICE report names the u-blox driver and the firmware's versions, it
configures the receiver (port, NAV messages on, NMEA off) and goes on
reporting a 3D fix and the satellites from UBX alone; and ubxtool polls
MON-VER and NAV-PVT from the device itself. Loopback only; every wait is
bounded."""
import os
import subprocess
import sys
import tempfile

from gpsd_support import free_port, start_gpsd, stop, wait_for_link, watch

PROGRAM = sys.argv[1]


def main():
    work = tempfile.mkdtemp(prefix="kovra-gpsd-ubx-")
    link = os.path.join(work, "gps")
    simulator = subprocess.Popen([PROGRAM, "--receiver", "ublox-m8", "--pty", link, "--rate", "2", "--count", "60"],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    gpsd = None
    seen = {"driver": None, "subtype": "", "subtype1": "", "fixes_after": 0, "skies_after": 0}
    try:
        wait_for_link(link)
        port = free_port()
        gpsd = start_gpsd(link, port, work, configure=True)
        if gpsd is None:
            print("gpsd did not listen", file=sys.stderr)
            return 1

        def report(r):
            if r.get("class") == "DEVICE" and r.get("driver"):
                seen["driver"] = r["driver"]
                seen["subtype"] = r.get("subtype", seen["subtype"])
                seen["subtype1"] = r.get("subtype1", seen["subtype1"])
            if seen["driver"] == "u-blox":
                if r.get("class") == "TPV" and r.get("mode") == 3:
                    seen["fixes_after"] += 1
                if r.get("class") == "SKY" and any(s.get("used") for s in r.get("satellites", [])):
                    seen["skies_after"] += 1
            return seen["fixes_after"] >= 12 and seen["skies_after"] >= 6

        watch(port, 25, report)
    finally:
        stop(gpsd, simulator)
    print(f"gpsd: driver {seen['driver']}, {seen['subtype']!r}, {seen['subtype1']!r}; "
          f"{seen['fixes_after']} 3D fixes and {seen['skies_after']} skies from the u-blox driver")
    ok = (seen["driver"] == "u-blox" and "ROM CORE 3.01" in seen["subtype"] and "PROTVER=18.00" in seen["subtype1"]
          and seen["fixes_after"] >= 12 and seen["skies_after"] >= 6)
    return 0 if ok else 1


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
    ok = "swVersion ROM CORE 3.01 (107888)" in answers["MON-VER"] and "fixType 3" in answers["NAV-PVT"]
    print(f"ubxtool: MON-VER {'answered' if 'swVersion' in answers['MON-VER'] else 'not answered'}, "
          f"NAV-PVT {'with a 3D fix' if 'fixType 3' in answers['NAV-PVT'] else 'not as asked'}")
    return 0 if ok else 1


sys.exit(main() or with_ubxtool())
