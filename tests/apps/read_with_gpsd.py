"""gpsd, run on a receiver model's output (the default nmea4 unless named)
on a pseudo-terminal or over UDP, reports a 3D fix and satellites of every
system the model tracks; from a cold start ("cold" after the model) it goes
from no fix through 2D to 3D. Everything talks over loopback and every wait
is bounded."""
import os
import socket
import subprocess
import sys
import tempfile

from gpsd_support import free_port, start_gpsd, stop, wait_for_link, watch

PROGRAM = sys.argv[1]
LINK = sys.argv[2] if len(sys.argv) > 2 else "pty"
MODEL = sys.argv[3] if len(sys.argv) > 3 else "nmea4"
COLD = len(sys.argv) > 4 and sys.argv[4] == "cold"
# gpsd's system IDs: 0 GPS, 1 SBAS, 2 Galileo, 3 BeiDou, 6 GLONASS.
SYSTEMS = {"nmea4": {0, 2, 3, 6}, "ublox-m8": {0, 1, 6}, "ublox-m9": {0, 1, 2, 3, 6},
           "ublox-f9p": {0, 2, 3, 6}, "mtk": {0, 1}, "sirf": {0},
           "quectel-l76k": {0, 3, 6}, "garmin": {0, 1}}[MODEL]
# Two updates a second, or the 2 s cycle of a model that cannot, four times the wall clock.
PACE = ["--speedup", "4"] if MODEL == "garmin" else ["--rate", "2"]


def main():
    """With "udp" as the second argument gpsd reads the stream over UDP
    (gpsd -N udp://127.0.0.1:PORT); otherwise from a pseudo-terminal."""
    work = tempfile.mkdtemp(prefix="kovra-gpsd-")
    port = free_port()
    if LINK == "udp":
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
            probe.bind(("127.0.0.1", 0))
            udp = probe.getsockname()[1]
        source = f"udp://127.0.0.1:{udp}"
        command = [PROGRAM, "--udp", f"127.0.0.1:{udp}", *PACE, "--count", "30", "--receiver", MODEL]
    else:
        source = os.path.join(work, "gps")
        command = [PROGRAM, "--pty", source, *PACE, "--count", "30", "--receiver", MODEL]
    if COLD:  # forty simulated seconds, ten times the wall clock
        command = [c for c in command if c not in ("--count", "30", "--speedup", "4")] + [
            "--start", "cold", "--count", "80", "--speedup", "10"]
        if MODEL.startswith("ublox"):
            # gpsd 3.22 takes a GLL at the end of a cycle for a 3D fix whatever GGA and GSA say.
            command += ["--sentences", "RMC,VTG,GGA,GSA,GSV"]
    gpsd = simulator = None
    try:
        udp_source = source.startswith("udp")
        if not udp_source:
            simulator = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            wait_for_link(source)
        gpsd = start_gpsd(source, port, work)
        if gpsd is None:
            print("gpsd did not listen", file=sys.stderr)
            return 1
        if udp_source:  # gpsd listens before anything is sent
            simulator = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        seen = {"mode": 0, "systems": set(), "modes": []}

        def report(r):
            if r.get("class") == "TPV":
                seen["mode"] = max(seen["mode"], r.get("mode", 0))
                if not seen["modes"] or seen["modes"][-1] != r.get("mode", 0):
                    seen["modes"].append(r.get("mode", 0))
            if r.get("class") == "SKY":
                seen["systems"] |= {s["gnssid"] for s in r.get("satellites", []) if "gnssid" in s}
            return seen["mode"] == 3 and seen["systems"] >= SYSTEMS

        watch(port, 12, report)
        print(f"gpsd ({source}, {MODEL}): modes {seen['modes']}, systems {sorted(seen['systems'])}")
        # From a cold start: no fix (gpsd's 1), then 2D, then 3D, never back.
        cold_start = not COLD or [m for m in seen["modes"] if m > 0] == [1, 2, 3]
        return 0 if seen["mode"] == 3 and seen["systems"] >= SYSTEMS and cold_start else 1
    finally:
        stop(gpsd, simulator)


sys.exit(main())
