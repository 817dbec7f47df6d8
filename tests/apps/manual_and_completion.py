"""The manual page and the bash completion the program prints: every option
of --help is in both, the page renders without a warning, and completion
offers each option's words (models, sentence kinds after a comma, profiles,
files)."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

from checking import check, outcome

PROGRAM = sys.argv[1]


def printed(*options):
    return subprocess.run([PROGRAM, *options], capture_output=True, text=True, timeout=30, check=True).stdout


def completions(script, *words):
    """What bash offers for the last of `words` after kovra-nmea."""
    line = " ".join("'" + w + "'" for w in words)
    run = subprocess.run(["bash", "-c", f'source "$0"; COMP_WORDS=(kovra-nmea {line}); COMP_CWORD={len(words)}; '
                                        '_kovra_nmea 2>/dev/null; printf "%s\\n" "${COMPREPLY[@]}"', script],
                         capture_output=True, text=True, timeout=30)
    return [w for w in run.stdout.split("\n") if w]


help_options = set(re.findall(r"(?<![\w-])(--[a-z][a-z0-9-]+)", printed("--help")))
page = printed("--man-page")
completion = printed("--bash-completion")
for option in sorted(help_options):
    check(option.replace("-", "\\-") in page, f"the man page has {option}")
    check(re.search(r'compgen -W "[^"]*(?<![\w-])' + re.escape(option) + r'(?![\w-])', completion) is not None,
          f"completion offers {option}")

if shutil.which("groff"):
    with tempfile.NamedTemporaryFile("w", suffix=".1") as f:
        f.write(page)
        f.flush()
        rendered = subprocess.run(["groff", "-man", "-Tutf8", "-ww", "-z", f.name], capture_output=True, text=True)
        check(rendered.returncode == 0 and rendered.stderr == "", f"groff renders the page: {rendered.stderr}")
else:
    print("groff is not here: the page's rendering is not checked")

with tempfile.TemporaryDirectory() as work:
    script = os.path.join(work, "kovra-nmea")
    with open(script, "w") as f:
        f.write(completion)
    open(os.path.join(work, "harbour.yaml"), "w").close()
    cases = [
        (("--rec",), ["--record-gpx", "--receiver", "--receiver-setting"]),
        (("--receiver", "ublox"), ["ublox-m8", "ublox-m9", "ublox-f9p"]),
        (("--profile", ""), ["nmea4", "classic"]),
        (("--start", "w"), ["warm"]),
        (("--talker", ""), ["GP", "GN"]),
        (("--sentences", "RMC,GS"), ["RMC,GSA", "RMC,GSV", "RMC,GST"]),
        (("--sentences", "NAV-P"), ["NAV-POSECEF", "NAV-PVT"]),
        (("--gnss", "gps,gal"), ["gps,galileo"]),
        (("--scenario", os.path.join(work, "har")), [os.path.join(work, "harbour.yaml")]),
        (("--lat", ""), []),
    ]
    for words, expected in cases:
        offered = completions(script, *words)
        check(offered == expected, f"completion of {' '.join(words)!r}: {offered}, expected {expected}")

sys.exit(outcome(f"{len(help_options)} options in the man page and the completion"))
