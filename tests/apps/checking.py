"""What the program's scripted tests share: each failed check said as it
fails and counted, and the exit status at the end."""
import sys

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what, file=sys.stderr)


def outcome(passed):
    """1 after any failed check (counted on standard error); else 0, saying `passed`."""
    if failures:
        print(f"{len(failures)} checks failed", file=sys.stderr)
        return 1
    print(passed)
    return 0
