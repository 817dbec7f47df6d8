"""The live view under attack and misuse, over raw sockets on loopback: a
page of another site through DNS rebinding, a crowd of event streams,
clients that send a byte at a time, bodies and headers without end, a run
that ends at once, an address others reach, and a speed change that must
not lose the route. Memory is read from /proc; every loop is bounded in
count and time."""
import json
import os
import signal
import socket
import subprocess
import sys
import threading
import time

from checks import check, free_port, report

PROGRAM = sys.argv[1]


def rss_mib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0


def exchange(port, raw, timeout=5):
    """Sends a raw request; the status code of the answer (0 when none came)."""
    answer = b""
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
            s.sendall(raw)
            deadline = time.monotonic() + timeout
            while b"\r\n" not in answer and time.monotonic() < deadline:
                chunk = s.recv(4096)
                if not chunk:
                    break
                answer += chunk
    except OSError:
        pass  # no answer in time, or the connection refused or reset
    parts = answer.split(b" ", 2)
    return int(parts[1]) if len(parts) > 1 and parts[1].isdigit() else 0


def get(port, path, host=None):
    host = host or f"127.0.0.1:{port}"
    return exchange(port, f"GET {path} HTTP/1.1\r\nHost: {host}\r\nConnection: close\r\n\r\n".encode())


def post(port, body, headers=""):
    data = json.dumps(body).encode()
    return exchange(port, (f"POST /control HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nConnection: close\r\n"
                           f"Content-Type: application/json\r\n{headers}Content-Length: {len(data)}\r\n\r\n").encode()
                    + data)


def state(port):
    with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
        s.sendall(f"GET /state HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nConnection: close\r\n\r\n".encode())
        answer = b""
        for _ in range(1000):
            chunk = s.recv(65536)
            if not chunk:
                break
            answer += chunk
    return json.loads(answer.split(b"\r\n\r\n", 1)[1])


def start(*options):
    port = free_port()
    process = subprocess.Popen([PROGRAM, "--http", f"127.0.0.1:{port}", *options], stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE)
    for _ in range(200):
        try:
            if get(port, "/state") == 200:
                return process, port
        except OSError:
            pass
        time.sleep(0.025)
    process.kill()
    raise SystemExit("the live view did not come up")


def stop_within(process, seconds, what):
    began = time.monotonic()
    process.send_signal(signal.SIGTERM)
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
    took = time.monotonic() - began
    check(took < seconds and process.returncode == 0, f"{what}: ended in {took:.2f} s, exit {process.returncode}")


def rebinding(port):
    """Only a Host naming this server is answered, on every route."""
    for path in ("/", "/state", "/events", "/skyplot.svg"):
        check(get(port, path, f"evil.example:{port}") == 421, f"GET {path} for evil.example is refused with 421")
    body = json.dumps({"course": 90}).encode()
    status = exchange(port, (f"POST /control HTTP/1.1\r\nHost: evil.example:{port}\r\nOrigin: http://evil.example:{port}"
                             f"\r\nConnection: close\r\nContent-Length: {len(body)}\r\n\r\n").encode() + body)
    check(status == 421, f"POST /control for evil.example is refused: {status}")
    for host in (f"localhost:{port}", f"127.0.0.1:{port}", "127.0.0.1"):
        check(get(port, "/state", host) == 200, f"GET /state for {host} is answered")


def crowd_of_event_streams(port):
    """Eight streams at most; the ninth is told to wait, and state and
    control answer whatever the streams do."""
    streams = []
    try:
        for _ in range(8):
            s = socket.create_connection(("127.0.0.1", port), timeout=5)
            s.sendall(f"GET /events HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n\r\n".encode())
            check(s.recv(64).startswith(b"HTTP/1.1 200"), "an event stream opens")
            streams.append(s)
        check(get(port, "/events") == 503, "a ninth event stream is answered 503")
        began = time.monotonic()
        check(get(port, "/state") == 200 and post(port, {"speedup": 1}) == 200, "state and control beside 8 streams")
        check(time.monotonic() - began < 2, "state and control answer at once beside 8 streams")
    finally:
        for s in streams:
            s.close()
    for _ in range(50):
        if get(port, "/events") != 503:
            break
        time.sleep(0.1)
    else:
        check(False, "closed event streams free their places")


def slow_clients(process, port):
    """Clients that send a header a byte at a time hold nothing up, and a
    signal still ends the run within a second."""
    slow = [socket.create_connection(("127.0.0.1", port), timeout=5) for _ in range(16)]
    header = f"GET /state HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nX-Slow: ".encode()
    for i in range(len(header) + 10):
        for s in slow:
            s.send(header[i:i + 1] if i < len(header) else b"a")
        time.sleep(0.02)
    check(get(port, "/state") == 200, "state answers beside 16 slow clients")
    stop_within(process, 1.5, "SIGTERM with 16 slow clients")
    for s in slow:
        s.close()


def endless_input(port, pid):
    """Bodies and headers are refused early, and memory stays flat."""
    before = rss_mib(pid)
    check(post(port, {"speed": 5}, "Content-Encoding: gzip\r\n") == 415, "a gzip body is refused with 415")
    check(post(port, {"speed": 5}, "Content-Encoding: br\r\n") == 415, "a br body is refused with 415")
    check(exchange(port, f"POST /control HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 999999999\r\n\r\n".encode())
          == 413, "a declared body of 1 GB is refused with 413")
    for what, head, piece in (
            ("a chunked body", f"POST /control HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nTransfer-Encoding: chunked\r\n\r\n",
             b"10000\r\n" + b" " * 0x10000 + b"\r\n"),
            ("header lines", f"GET /state HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n", b"X-Pad: " + b"a" * 4000 + b"\r\n")):
        sent = 0
        with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
            try:
                s.sendall(head.encode())
                while sent < 64 * 1024 * 1024:
                    s.sendall(piece)
                    sent += len(piece)
            except OSError:
                pass  # refused: the server closed the connection
        check(sent < 4 * 1024 * 1024, f"{what} is refused before 4 MiB ({sent} bytes were taken)")
    grown = rss_mib(pid) - before
    check(grown < 40, f"memory grew by {grown:.1f} MiB under endless bodies and headers")


def speed_keeps_the_route():
    """Past BUOY, a speed change from the page keeps steering for FAIRWAY."""
    process, port = start("--speedup", "100")
    try:
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline and (state(port)["route"] or {}).get("next") != "FAIRWAY":
            time.sleep(0.1)
        check(state(port)["route"]["next"] == "FAIRWAY", "the vessel reached BUOY and steers for FAIRWAY")
        check(post(port, {"speed": 6}) == 200, "a speed change is accepted")
        time.sleep(0.5)
        check(state(port)["route"]["next"] == "FAIRWAY", "after a speed change the vessel still steers for FAIRWAY")
    finally:
        stop_within(process, 1.5, "SIGTERM")


def main():
    process, port = start("--rate", "0.01")  # one update, then 100 s of waiting
    try:
        rebinding(port)
        crowd_of_event_streams(port)
        endless_input(port, process.pid)
        slow_clients(process, port)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()

    speed_keeps_the_route()

    # A run that ends at once still ends, however early its server is stopped.
    for _ in range(30):
        run = subprocess.run([PROGRAM, "--count", "1", "--http", f"127.0.0.1:{free_port()}"], capture_output=True,
                             timeout=10)
        check(run.returncode == 0, f"--count 1 --http ends: {run.returncode} {run.stderr!r}")

    # An address others reach lets them steer: said on standard error.
    wide = subprocess.run([PROGRAM, "--count", "1", "--http", f"0.0.0.0:{free_port()}"], capture_output=True,
                          text=True, timeout=10)
    check("warning: --http 0.0.0.0 lets every host" in wide.stderr, f"--http 0.0.0.0 warns: {wide.stderr!r}")
    watched = subprocess.run([PROGRAM, "--count", "1", "--http", f"0.0.0.0:{free_port()}", "--http-read-only"],
                             capture_output=True, text=True, timeout=10)
    check("warning" not in watched.stderr, f"--http-read-only does not warn: {watched.stderr!r}")

    return report("live view hardening")


sys.exit(main())
