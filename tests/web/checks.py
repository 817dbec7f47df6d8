"""What the live view's HTTP tests share: the checks that failed, a free
loopback port, and the report at the end."""
import socket
import sys

problems = []


def check(condition, what):
    if not condition:
        problems.append(what)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def report(what):
    """Prints every problem and the count; the exit status to end with."""
    for problem in problems:
        print("FAILED:", problem, file=sys.stderr)
    print(f"{what}: {len(problems)} problems")
    return 1 if problems else 0
