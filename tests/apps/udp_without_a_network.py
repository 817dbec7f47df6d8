"""--udp before the network is up, as on a laptop before its Wi-Fi: in a
network namespace of its own whose loopback is down, the destination has
no route; the run goes on with one warning, and says when loopback comes up
and the stream reaches its listener. Needs unshare(1) and ip(8); skipped
(77) where namespaces cannot be made."""
import socket
import subprocess
import sys

PROGRAM = sys.argv[1]

if subprocess.run(["unshare", "--net", "true"], capture_output=True).returncode != 0:
    print("network namespaces cannot be made here: skipped")
    sys.exit(77)

# The listener lives inside the namespace too, started once loopback is up.
script = f"""
"{PROGRAM}" --udp 127.0.0.1:10110 --count 60 --rate 20 --profile classic --sentences GGA &
sleep 1
ip link set lo up
python3 -c '
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", 10110))
s.settimeout(3)
print("received", s.recv(2048)[:7].decode())
'
wait $!
"""
run = subprocess.run(["unshare", "--net", "sh", "-c", script], capture_output=True, text=True, timeout=60)
problems = []
if run.returncode != 0:
    problems.append(f"exit status {run.returncode}: {run.stderr!r}")
if run.stderr.count("Network is unreachable (the stream goes on; told once)") != 1:
    problems.append(f"no route is told once: {run.stderr!r}")
if "udp://127.0.0.1:10110 is reachable again" not in run.stderr:
    problems.append(f"the network coming up is told: {run.stderr!r}")
if "received $GPGGA" not in run.stdout:
    problems.append(f"the stream reaches the listener once the network is up: {run.stdout!r}")
for problem in problems:
    print("FAILED:", problem, file=sys.stderr)
print(f"UDP without a network: {len(problems)} problems")
sys.exit(1 if problems else 0)
