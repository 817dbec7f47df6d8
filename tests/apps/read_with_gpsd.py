"""gpsd, run on the default (nmea4) output on a pseudo-terminal or over
UDP, reports a 3D fix and satellites of four systems. Everything talks over
loopback and every wait is bounded."""
import json
import os
import socket
import subprocess
import sys
import tempfile
import time

PROGRAM = sys.argv[1]
GPSD = "/usr/sbin/gpsd"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


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
        if not udp_source:  # gpsd opens the terminal once its link is there
            simulator = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            for _ in range(100):
                if os.path.islink(source):
                    break
                time.sleep(0.05)
        gpsd = subprocess.Popen([GPSD, "-N", "-n", "-b", "-S", str(port), "-F", os.path.join(work, "gpsd.sock"), source],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not wait_for(port):
            print("gpsd did not listen", file=sys.stderr)
            return 1
        if udp_source:  # gpsd listens before anything is sent
            simulator = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        mode, systems = 0, set()
        deadline = time.monotonic() + 12
        with socket.create_connection(("127.0.0.1", port), timeout=5) as client:
            client.settimeout(1)
            client.sendall(b'?WATCH={"enable":true,"json":true};\n')
            buffer = b""
            while time.monotonic() < deadline and not (mode == 3 and systems >= {0, 2, 3, 6}):
                try:
                    buffer += client.recv(65536)
                except socket.timeout:
                    continue
                *lines, buffer = buffer.split(b"\n")
                for line in lines:
                    report = json.loads(line)
                    if report.get("class") == "TPV":
                        mode = max(mode, report.get("mode", 0))
                    if report.get("class") == "SKY":
                        systems |= {s["gnssid"] for s in report.get("satellites", []) if "gnssid" in s}
        print(f"gpsd ({source}): best mode {mode}, systems {sorted(systems)}")
        return 0 if mode == 3 and systems >= {0, 2, 3, 6} else 1
    finally:
        for process in (gpsd, simulator):
            if process is not None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()


def wait_for(port):
    for _ in range(100):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
            return True
        except OSError:
            time.sleep(0.05)
    return False


sys.exit(main())
