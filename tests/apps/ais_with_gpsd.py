"""The AIS example scenario end to end, read by gpsd's gpsdecode (Debian
gpsd-clients) and libais (Debian python3-ais): every station is decoded with
its name, the ferry placed on a collision course meets own ship when its
rule says and the tug passes at its half mile, an output listed for VDM and
VDO carries AIS alone while the plotter's carries both, and gpsd reading
that AIS port over UDP reports every station. Everything talks over
loopback; every wait is bounded."""
import json
import math
import os
import re
import socket
import subprocess
import sys
import tempfile
import threading
import time

import ais

from gpsd_support import free_port, start_gpsd, stop, watch

PROGRAM, SCENARIO = sys.argv[1], sys.argv[2]
STATIONS = {211000001: "KOVRA", 211000002: "KIEL FERRY", 211000003: "HOLTENAU", 211000004: "SEASTAR"}
problems = []


def check(condition, what):
    if not condition:
        problems.append(what)


def distance_nm(a, b):
    (lat1, lon1), (lat2, lon2) = a, b
    p1, p2 = math.radians(lat1), math.radians(lat2)
    h = math.sin((p2 - p1) / 2) ** 2 + math.cos(p1) * math.cos(p2) * math.sin(math.radians(lon2 - lon1) / 2) ** 2
    return 2 * 3440.065 * math.asin(math.sqrt(h))


def decoded_by_second(stream):
    """Each AIS message of the stream as libais decodes it, with the second of
    the update it came in (from the RMC before it), and the names gpsdecode
    gives the stations."""
    second, lines, messages, payload = 0, [], [], ""
    for line in stream.splitlines():
        if line.startswith("$GNRMC,"):
            t = line.split(",")[1]
            second = (int(t[0:2]) - 12) * 3600 + int(t[2:4]) * 60 + float(t[4:])
        elif line.startswith("!AI"):
            lines.append(line)
            fields = line.split(",")
            payload += fields[5]
            if fields[1] == fields[2]:  # the last sentence of a message
                try:
                    messages.append((second, ais.decode(payload, int(fields[6].split("*")[0]))))
                except Exception as error:  # the decoder's own refusal, whatever its kind
                    problems.append(f"libais refuses {payload}: {error}")
                payload = ""
    out = subprocess.run(["gpsdecode"], input="\n".join(lines) + "\n", capture_output=True, text=True,
                         timeout=60).stdout.splitlines()
    names = {}
    for decoded in (json.loads(line) for line in out if line.startswith("{")):
        if "shipname" in decoded:
            names[decoded["mmsi"]] = decoded["shipname"]
    return messages, names


def gpsd_reads_udp(text, folder):
    """gpsd on the AIS port reports every station with its position and name."""
    port, gpsd_port = free_port(socket.SOCK_DGRAM), free_port()
    given = os.path.join(folder, "gpsd.yaml")
    with open(given, "w") as file:
        file.write(text.replace("10110", str(free_port(socket.SOCK_DGRAM))).replace("10111", str(port)))
    gpsd = start_gpsd(f"udp://127.0.0.1:{port}", gpsd_port, folder)
    check(gpsd is not None, "gpsd listens")
    if gpsd is None:
        return
    seen = {}

    def report(r):
        if r.get("class") == "AIS":
            station = seen.setdefault(r["mmsi"], {})
            station.update({k: r[k] for k in ("lat", "lon", "shipname") if k in r})
        return all(len(seen.get(mmsi, {})) == 3 for mmsi in STATIONS)

    watcher = threading.Thread(target=watch, args=(gpsd_port, 20, report))
    watcher.start()
    time.sleep(0.5)  # watching before the first update, which carries every station's name
    simulator = subprocess.Popen([PROGRAM, "--scenario", given, "--count", "20", "--speedup", "10"],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    watcher.join(timeout=30)
    stop(simulator, gpsd)
    check({m: s.get("shipname") for m, s in seen.items()} == STATIONS, f"gpsd names every station: {seen}")
    check(all("lat" in s and "lon" in s for s in seen.values()), f"gpsd places every station: {seen}")


def main():
    with open(SCENARIO) as file:
        text = file.read()
    with tempfile.TemporaryDirectory() as folder:
        # The whole run to standard output: the outputs taken away.
        alone = os.path.join(folder, "stdout.yaml")
        with open(alone, "w") as file:
            file.write(re.sub(r"    outputs:\n(      - .*\n)+", "", text))
        truth = os.path.join(folder, "truth.jsonl")
        run = subprocess.run([PROGRAM, "--scenario", alone, "--fast", "--truth", truth], capture_output=True, text=True,
                             timeout=120)
        check(run.returncode == 0, f"the scenario ran: {run.stderr}")
        # The truth log tells each target's closest approach from the start on.
        with open(truth) as file:
            first = {line["vessel"]: line for line in map(json.loads, file) if line["update"] == 1}
        for vessel, cpa, tcpa in (("Ferry", 0.0, 360), ("Tug", 0.5, 480)):
            approach = first.get(vessel, {}).get("ais", {})
            got_cpa, got_tcpa = approach.get("cpa_nm"), approach.get("tcpa_s")
            check(got_cpa is not None and abs(got_cpa - cpa) < 0.01 and got_tcpa is not None and abs(got_tcpa - tcpa) < 5,
                  f"the truth gives {vessel} its closest approach: {approach}")
        messages, names = decoded_by_second(run.stdout)
        check(names == STATIONS, f"gpsdecode names every station: {names}")
        position = {}
        for second, m in messages:
            if m["id"] in (1, 18):
                position[(m["mmsi"], second)] = (m["y"], m["x"])
        for mmsi, second, asked in ((211000002, 360, 0.0), (211000003, 480, 0.5)):
            own, target = position.get((211000001, second)), position.get((mmsi, second))
            check(own and target, f"{mmsi} and own ship report at {second} s")
            if own and target:
                check(abs(distance_nm(own, target) - asked) < 0.01,
                      f"{mmsi} is {distance_nm(own, target):.4f} nm off own ship at {second} s, not {asked}")
        check(any(m["id"] == 24 for _, m in messages), "the class B yacht sends its static data")

        # The plotter's port gets both; the AIS port AIS alone.
        plotter, ais_only = free_port(socket.SOCK_DGRAM), free_port(socket.SOCK_DGRAM)
        given = os.path.join(folder, "udp.yaml")
        with open(given, "w") as file:
            file.write(text.replace("10110", str(plotter)).replace("10111", str(ais_only)))
        received = {plotter: [], ais_only: []}

        def listen(port):
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
                sock.bind(("127.0.0.1", port))
                sock.settimeout(0.2)
                deadline = time.monotonic() + 15
                while time.monotonic() < deadline:
                    try:
                        received[port].extend(sock.recv(65536).decode("ascii").splitlines())
                    except socket.timeout:
                        pass

        threads = [threading.Thread(target=listen, args=(port,)) for port in received]
        for thread in threads:
            thread.start()
        time.sleep(0.3)
        run = subprocess.run([PROGRAM, "--scenario", given, "--count", "3", "--speedup", "10"], capture_output=True,
                             text=True, timeout=60)
        for thread in threads:
            thread.join(timeout=20)
        check(run.returncode == 0, f"the UDP run: {run.stderr}")
        check(any(l.startswith("$GN") for l in received[plotter]) and any(l.startswith("!AIVDM") for l in received[plotter]),
              f"the plotter's port carries GPS and AIS: {received[plotter][:4]}")
        check(received[ais_only] and all(l.startswith(("!AIVDM", "!AIVDO")) for l in received[ais_only]),
              f"the AIS port carries AIS alone: {received[ais_only][:4]}")
        gpsd_reads_udp(text, folder)
    for problem in problems:
        print("FAILED:", problem, file=sys.stderr)
    print(f"AIS read by gpsdecode: {len(problems)} problems")
    return 1 if problems else 0


sys.exit(main())
