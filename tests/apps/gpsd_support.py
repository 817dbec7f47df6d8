"""What the tests that run gpsd share: a free port, gpsd started on a
source, its JSON reports watched until a deadline, processes ended."""
import json
import os
import socket
import subprocess
import time

GPSD = "/usr/sbin/gpsd"


def free_port(kind=socket.SOCK_STREAM):
    with socket.socket(socket.AF_INET, kind) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_for(port):
    for _ in range(100):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
            return True
        except OSError:
            time.sleep(0.05)
    return False


def wait_for_link(link):
    """gpsd opens a terminal once its link is there."""
    for _ in range(100):
        if os.path.islink(link):
            return
        time.sleep(0.05)


def start_gpsd(source, port, work, configure=False):
    """gpsd on `source`, answering on `port`; None when it does not listen.
    With `configure` gpsd may configure the receiver it finds (no -b)."""
    flags = ["-N", "-n"] + ([] if configure else ["-b"])
    gpsd = subprocess.Popen([GPSD, *flags, "-S", str(port), "-F", os.path.join(work, "gpsd.sock"), source],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not wait_for(port):
        stop(gpsd)
        return None
    return gpsd


def watch(port, seconds, report):
    """Hands each of gpsd's reports to `report` until it returns True or the time is up."""
    deadline = time.monotonic() + seconds
    with socket.create_connection(("127.0.0.1", port), timeout=5) as client:
        client.settimeout(1)
        client.sendall(b'?WATCH={"enable":true,"json":true};\n')
        buffer = b""
        while time.monotonic() < deadline:
            try:
                buffer += client.recv(65536)
            except socket.timeout:
                continue
            *lines, buffer = buffer.split(b"\n")
            for line in lines:
                if report(json.loads(line)):
                    return


def stop(*processes):
    for process in processes:
        if process is not None:
            process.terminate()
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                process.kill()
