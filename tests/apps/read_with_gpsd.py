"""gpsd, run on the default (nmea4) output on a pseudo-terminal or over
UDP, reports a 3D fix and satellites of four systems. Everything talks over
loopback and every wait is bounded."""
import os
import socket
import subprocess
import sys
import tempfile

from gpsd_support import free_port, start_gpsd, stop, wait_for_link, watch

PROGRAM = sys.argv[1]


def main():
    """With "udp" as the second argument gpsd reads the stream over UDP
    (gpsd -N udp://127.0.0.1:PORT); otherwise from a pseudo-terminal."""
    work = tempfile.mkdtemp(prefix="kovra-gpsd-")
    port = free_port()
    if len(sys.argv) > 2 and sys.argv[2] == "udp":
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
            probe.bind(("127.0.0.1", 0))
            udp = probe.getsockname()[1]
        source = f"udp://127.0.0.1:{udp}"
        command = [PROGRAM, "--udp", f"127.0.0.1:{udp}", "--rate", "2", "--count", "30"]
    else:
        source = os.path.join(work, "gps")
        command = [PROGRAM, "--pty", source, "--rate", "2", "--count", "30"]
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
        seen = {"mode": 0, "systems": set()}

        def report(r):
            if r.get("class") == "TPV":
                seen["mode"] = max(seen["mode"], r.get("mode", 0))
            if r.get("class") == "SKY":
                seen["systems"] |= {s["gnssid"] for s in r.get("satellites", []) if "gnssid" in s}
            return seen["mode"] == 3 and seen["systems"] >= {0, 2, 3, 6}

        watch(port, 12, report)
        print(f"gpsd ({source}): best mode {seen['mode']}, systems {sorted(seen['systems'])}")
        return 0 if seen["mode"] == 3 and seen["systems"] >= {0, 2, 3, 6} else 1
    finally:
        stop(gpsd, simulator)


sys.exit(main())
