"""A receiver that listens, end to end: configuration commands sent on the
pseudo-terminal and over TCP are answered as the model's receiver answers
them and change what it sends; bad input is ignored and counted; a flood of
garbage leaves every update whole. Everything talks over loopback or a
pseudo-terminal, and every wait is bounded."""
import os
import re
import select
import socket
import subprocess
import sys
import tempfile
import threading
import time
import tty

PROGRAM = sys.argv[1]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what, file=sys.stderr)


def ubx(cls, mid, payload=b""):
    body = bytes([cls, mid, len(payload) & 0xFF, len(payload) >> 8]) + payload
    a = b = 0
    for x in body:
        a = (a + x) & 0xFF
        b = (b + a) & 0xFF
    return b"\xb5\x62" + body + bytes([a, b])


def nmea(body):
    checksum = 0
    for c in body.encode():
        checksum ^= c
    return f"${body}*{checksum:02X}\r\n".encode()


class Link:
    """The program on a pseudo-terminal (or a TCP port), and our end of it."""

    def __init__(self, options, tcp=False):
        self.work = tempfile.mkdtemp(prefix="kovra-listen-")
        if tcp:
            with socket.socket() as probe:
                probe.bind(("127.0.0.1", 0))
                port = probe.getsockname()[1]
            options = options + ["--tcp", str(port)]
        else:
            link = os.path.join(self.work, "gps")
            options = options + ["--pty", link]
        self.process = subprocess.Popen([PROGRAM, "-v", *options], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        deadline = time.time() + 10
        self.fd = self.sock = None
        while time.time() < deadline and self.fd is None and self.sock is None:
            try:
                if tcp:
                    self.sock = socket.create_connection(("127.0.0.1", port), timeout=1)
                elif os.path.exists(link):
                    self.fd = os.open(link, os.O_RDWR | os.O_NOCTTY)
                    tty.setraw(self.fd)
            except OSError:
                pass
            time.sleep(0.05)
        if self.fd is None and self.sock is None:
            raise RuntimeError("no link to the program")

    def send(self, data):
        if self.sock:
            self.sock.sendall(data)
        else:
            os.write(self.fd, data)

    def read_for(self, seconds):
        out, end = b"", time.time() + seconds
        handle = self.sock.fileno() if self.sock else self.fd
        while time.time() < end:
            ready, _, _ = select.select([handle], [], [], 0.05)
            if ready:
                chunk = os.read(handle, 65536)
                if not chunk:
                    break
                out += chunk
        return out

    def finish(self):
        if self.sock:
            self.sock.close()
        else:
            os.close(self.fd)
        try:
            _, err = self.process.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            _, err = self.process.communicate()
        return err.decode(errors="replace")


def times(text, kind):
    """Seconds of the day of each sentence of `kind`."""
    return [float(m.group(1)[4:]) + 60 * int(m.group(1)[2:4]) + 3600 * int(m.group(1)[:2])
            for m in re.finditer(rf"\$..{kind},(\d{{6}}\.\d+)", text)]


def gaps(seconds):
    """The steps between times of day, across midnight too."""
    return [(b - a) % 86400 for a, b in zip(seconds, seconds[1:])]


def mtk():
    link = Link(["--receiver", "mtk", "--rate", "2", "--count", "16"])
    link.read_for(0.8)
    link.send(nmea("PMTK605"))
    check(b"$PMTK705,AXN_2.51_3339_19071200,0002,QUECTEL-L70,1.0*32\r\n" in link.read_for(0.8), "MTK: PMTK605 answered by PMTK705")
    link.send(b"$PMTK220,200*00\r\n")  # a wrong checksum: no answer
    check(b"PMTK001" not in link.read_for(0.8), "MTK: a command with a wrong checksum is not answered")
    link.send(nmea("PMTK314,0,1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0"))
    out = link.read_for(1.2).decode(errors="replace")
    check("$PMTK001,314,3*36" in out, "MTK: PMTK314 acknowledged")
    after = out.split("$PMTK001,314,3*36")[-1]
    check("RMC" in after and "GGA" not in after and "GSA" not in after, f"MTK: RMC alone after PMTK314: {after!r}")
    link.send(nmea("PMTK220,1000"))
    out = link.read_for(2.6).decode(errors="replace")
    rmc = times(out.split("$PMTK001,220,3*30")[-1], "RMC")
    check(len(rmc) >= 2 and all(abs(g - 1.0) < 0.01 for g in gaps(rmc)),
          f"MTK: one RMC a second after PMTK220,1000: {rmc}")
    log = link.finish()
    check("1 bad checksum" in log and "3 commands" in log, f"MTK: what came in is told: {log[-200:]!r}")


def ublox():
    link = Link(["--receiver", "ublox-m8", "--count", "8"], tcp=True)
    link.read_for(0.5)
    link.send(ubx(0x0A, 0x04))
    out = link.read_for(1.2)
    check(b"\xb5\x62\x0a\x04" in out and b"PROTVER=18.00" in out, "u-blox: MON-VER answered")
    link.send(ubx(0x06, 0x01, bytes([0xF0, 0x00, 0x00])))  # GGA off
    out = link.read_for(1.5)
    check(b"\xb5\x62\x05\x01\x02\x00\x06\x01\x0f\x38" in out, "u-blox: CFG-MSG acknowledged")
    check(b"GGA" not in out.split(b"\xb5\x62\x05\x01")[-1], "u-blox: no GGA after CFG-MSG turned it off")
    link.send(ubx(0x06, 0x8A, bytes([0, 1, 0, 0, 0x01, 0x00, 0x21, 0x30, 0x64, 0x00])))  # VALSET: an M8 has none
    check(b"\xb5\x62\x05\x00\x02\x00\x06\x8a" in link.read_for(1.0), "u-blox: CFG-VALSET refused by the M8")
    link.send(ubx(0x06, 0x08, bytes([0xF4, 0x01, 0x01, 0x00, 0x01, 0x00])))  # 500 ms
    out = link.read_for(2.2).decode(errors="replace")
    rmc = times(out.split("\x05\x01\x02\x00\x06\x08")[-1], "RMC")
    check(len(rmc) >= 3 and all(abs(g - 0.5) < 0.01 for g in gaps(rmc)),
          f"u-blox: two updates a second after CFG-RATE: {rmc}")
    link.finish()


def ubx_binary():
    """NAV-PVT switched on by CFG-MSG carries the fix the RMC beside it reports; CFG-PRT with UBX
    alone out switches NMEA off."""
    import struct
    link = Link(["--receiver", "ublox-m9", "--rate", "2", "--count", "12"])
    link.read_for(0.6)
    link.send(ubx(0x06, 0x01, bytes([0x01, 0x07, 0x01])))
    out = link.read_for(1.5)
    after = out.split(b"\xb5\x62\x05\x01\x02\x00\x06\x01")[-1]
    at = after.find(b"\xb5\x62\x01\x07\x5c\x00")
    check(at >= 0, "u-blox: NAV-PVT sent once CFG-MSG turned it on")
    if at >= 0:
        payload = after[at + 6:at + 6 + 92]
        lon, lat = struct.unpack_from("<ii", payload, 24)
        rmc = re.findall(rb"\$GNRMC,[^,]*,A,(\d+\.\d+),([NS]),(\d+\.\d+),([EW])", after[:at])
        if rmc:
            rlat = degrees(rmc[-1][0].decode(), 2)
            rlon = degrees(rmc[-1][2].decode(), 3)
            check(abs(lat * 1e-7 - rlat) < 1e-4 and abs(lon * 1e-7 - rlon) < 1e-4,
                  f"u-blox: NAV-PVT's position {lat * 1e-7}, {lon * 1e-7} is RMC's {rlat}, {rlon}")
        check(payload[20] == 3, "u-blox: NAV-PVT's 3D fix")
    port = bytes([1, 0, 0, 0, 0xD0, 0x08, 0, 0]) + struct.pack("<I", 9600) + bytes([7, 0, 1, 0, 0, 0, 0, 0])
    link.send(ubx(0x06, 0x00, port))
    out = link.read_for(1.5)
    after = out.split(b"\xb5\x62\x05\x01\x02\x00\x06\x00")[-1]
    check(b"$GN" not in after and b"\xb5\x62\x01\x07" in after, "u-blox: UBX alone once CFG-PRT said so")
    link.finish()


def serial_baud():
    """PMTK251 on a serial line (one end of a pair of pseudo-terminals): the
    acknowledgement comes at the old baud, then the line runs at the new one
    and the receiver goes on sending; a baud the receiver has not is refused
    and changes nothing."""
    import termios
    master, slave = os.openpty()
    process = subprocess.Popen([PROGRAM, "--receiver", "mtk", "--count", "6", "--port", os.ttyname(slave)],
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def read_until(marker, seconds):
        out, end = b"", time.time() + seconds
        while time.time() < end and marker not in out:
            if select.select([master], [], [], 0.05)[0]:
                out += os.read(master, 4096)
        return out

    def speed():
        return termios.tcgetattr(master)[5]  # a master reports its terminal's settings

    try:
        check(b"RMC" in read_until(b"RMC", 3) and speed() == termios.B9600, "serial: 9600 baud to begin with")
        os.write(master, nmea("PMTK251,12345"))
        check(b"$PMTK001,251,2*37" in read_until(b"PMTK001", 2) and speed() == termios.B9600,
              "serial: a baud the receiver has not is refused and changes nothing")
        os.write(master, nmea("PMTK251,115200"))
        check(b"$PMTK001,251,3*36" in read_until(b"PMTK001", 2), "serial: PMTK251,115200 acknowledged")
        end = time.time() + 3
        while time.time() < end and speed() != termios.B115200:
            time.sleep(0.02)
        check(speed() == termios.B115200, "serial: 115200 baud once the acknowledgement has gone")
        check(b"RMC" in read_until(b"RMC", 3), "serial: the receiver sends on at the new baud")
        _, err = process.communicate(timeout=30)
        check("115200 baud, as the receiver was told" in err.decode(errors="replace"), f"serial: the change is told: {err[-300:]!r}")
    finally:
        if process.poll() is None:
            process.kill()
            process.wait(timeout=10)
        os.close(master)
        os.close(slave)


def degrees(text, width):
    return int(text[:width]) + float(text[width:]) / 60


def links():
    """Commands on the receiver's own UDP port and on the --tcp-connect link, each answered to its sender."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as udp, socket.socket() as server:
        udp.bind(("127.0.0.1", 0))
        udp_port = udp.getsockname()[1]
        udp.close()
        server.bind(("127.0.0.1", 0))
        server.listen(1)
        server.settimeout(5)
        process = subprocess.Popen([PROGRAM, "--receiver", "mtk", "--count", "6", "--listen-udp", str(udp_port),
                                    "--tcp-connect", f"127.0.0.1:{server.getsockname()[1]}"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            connection, _ = server.accept()
            connection.settimeout(0.2)
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sender:
                sender.settimeout(0.5)
                answer = b""
                for _ in range(6):  # until the program listens
                    sender.sendto(nmea("PMTK605"), ("127.0.0.1", udp_port))
                    try:
                        answer = sender.recv(2048)
                        break
                    except socket.timeout:
                        pass
                check(answer.startswith(b"$PMTK705,AXN_2.51"), f"UDP: PMTK605 answered to its sender: {answer!r}")
            connection.sendall(nmea("PMTK220,1000"))
            data, end = b"", time.time() + 3
            while time.time() < end and b"$PMTK001,220,3*30" not in data:
                try:
                    data += connection.recv(4096)
                except socket.timeout:
                    pass
            check(b"$PMTK001,220,3*30" in data, "TCP client link: PMTK220 acknowledged on the link")
            connection.close()
        finally:
            process.kill()
            process.wait(timeout=10)


def flood():
    """A consumer writing garbage, overlong lines and half UBX frames as fast
    as the line takes them for three seconds: every update still comes whole."""
    link = Link(["--receiver", "mtk", "--rate", "10", "--count", "40"])
    junk = (b"\xb5\x62\x06\x08\x06\x00\xc8" + b"$GPGGA," + b"9" * 200 + b"\r\n" + os.urandom(1000)) * 64
    stop = time.time() + 3
    sent = [0]

    def write():
        while time.time() < stop:
            try:
                sent[0] += os.write(link.fd, junk)
            except BlockingIOError:
                time.sleep(0.001)
            except OSError:
                return
            time.sleep(0.05)  # about 1.3 MB a second

    writer = threading.Thread(target=write)
    writer.start()
    out = link.read_for(3.5).decode(errors="replace")
    writer.join()
    log = link.finish()
    lines = [line for line in out.split("\r\n") if line]
    whole = [line for line in lines if re.fullmatch(r"\$[A-Z]{5},[^*]*\*[0-9A-F]{2}", line)]
    check(len(whole) > 60 and len(whole) == len(lines), f"flood: {len(lines) - len(whole)} broken lines of {len(lines)}")
    lateness = re.search(r"worst lateness ([0-9.]+) ms", log)
    rejected = re.search(r"(\d+) rejected", log)
    check(rejected is not None and int(rejected.group(1)) > 0, f"flood: the garbage is counted: {log[-300:]!r}")
    print(f"flood: {sent[0]} bytes sent in 3 s; worst lateness {lateness.group(1) if lateness else '?'} ms")


CASES = (mtk, ublox, ubx_binary, serial_baud, links, flood)
for case in [c for c in CASES if len(sys.argv) < 3 or c.__name__ in sys.argv[2:]]:
    try:
        case()
    except Exception as error:  # a case that cannot run fails, with why
        check(False, f"{case.__name__}: {error}")
print(f"receiver commands: {len(failures)} failures")
sys.exit(1 if failures else 0)
