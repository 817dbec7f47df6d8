"""Every line kovra-nmea writes, in both profiles and as every receiver
model, parses with pynmea2 and its checksum holds: an NMEA parser of
someone else's reads our stream."""
import subprocess
import sys

import pynmea2

PROGRAM = sys.argv[1]


class THS(pynmea2.TalkerSentence):
    """True heading and status: younger than the pynmea2 Debian ships, which is told its two fields."""
    fields = (("Heading", "heading", float), ("Mode", "mode"))


RUNS = [
    ["--profile", "nmea4", "--sentences", "ALL", "--count", "3", "--rate", "10"],
    ["--sentences", "ALL", "--depth", "12.5", "--transducer-offset", "-1.2", "--wind", "270,15",
     "--water-temperature", "8.5", "--count", "3"],
    ["--profile", "nmea4", "--sat", "5,45,90", "--count", "1"],  # no fix: empty fields
    ["--profile", "classic", "--count", "3", "--rate", "10"],
]
RUNS += [["--receiver", model, "--sentences", "ALL", "--count", "3", "--fast"]  # at the model's own rate
         for model in ("ublox-m8", "ublox-m9", "ublox-f9p", "mtk", "sirf", "quectel-l76k", "garmin")]

failures = 0
talkers = set()
for options in RUNS:
    output = subprocess.run([PROGRAM] + options, capture_output=True, text=True, timeout=30, check=True).stdout
    for line in output.splitlines():
        try:
            sentence = pynmea2.parse(line, check=True)
            talkers.add(getattr(sentence, "talker", "") + sentence.sentence_type)  # proprietary: none
        except pynmea2.ParseError as error:
            failures += 1
            print(f"{options}: {line!r}: {error}", file=sys.stderr)
for expected in ("GPGSV", "GLGSV", "GAGSV", "GBGSV", "GNRMC", "GNGGA", "GPGSA", "GBGSA", "GNGST", "GNGNS", "GPRMC", "GNGSA",
                 "GPRMB", "GPBOD", "GRME", "GRMZ", "GNAPB", "GNXTE", "GNBWC", "GNBWR", "HCHDG", "HCHDM", "HETHS",
                 "HEROT", "SDDPT", "SDDBT", "WIMWV", "WIMWD", "VWVHW", "VWVLW", "VWMTW"):
    if expected not in talkers:
        failures += 1
        print(f"no {expected} was read", file=sys.stderr)
sys.exit(1 if failures else 0)
