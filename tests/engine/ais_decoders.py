"""Every AIS message type the encoder knows, decoded by two decoders no one
here wrote: libais (Debian python3-ais) and gpsd's gpsdecode (Debian
gpsd-clients). Each decoded field must be the value the message was given:
numbers to their field's resolution, texts without their padding, the
not-available values as none."""
import json
import math
import subprocess
import sys

import ais

PROGRAM = sys.argv[1]
problems = []

# Our names of the fields, as each decoder names them.
LIBAIS = {"status": "nav_status", "accuracy": "position_accuracy", "heading": "true_heading", "lat": "y", "lon": "x",
          "course": "cog", "speed": "sog", "imo": "imo_num", "shipname": "name", "shiptype": "type_and_cargo",
          "to_bow": "dim_a", "to_stern": "dim_b", "to_port": "dim_c", "to_starboard": "dim_d", "cs": "unit_flag",
          "aid_type": "aton_type", "virtual_aid": "virtual_aton", "off_position": "off_pos", "part": "part_num"}
RESOLUTION = {"lat": 1e-6, "lon": 1e-6, "speed": 0.05, "course": 0.05, "draught": 0.05}


def rot_code(degrees_a_minute):
    return int(math.copysign(round(4.733 * math.sqrt(abs(degrees_a_minute))), degrees_a_minute))


def libais_value(decoded, key):
    if key == "rot":
        return None if decoded.get("rot_over_range") and abs(decoded["rot"]) > 700 else rot_code(decoded["rot"])
    if key == "second" and decoded["id"] != 4:
        return decoded["timestamp"]
    value = decoded.get(LIBAIS.get(key, key))
    if key == "speed" and decoded["id"] in (1, 2, 3, 18, 19) and value is not None and value > 102.25:
        return None
    if key == "lat" and value == 91 or key == "lon" and value == 181 or key == "course" and value == 360:
        return None
    return value


def gpsd_value(decoded, raw, key):
    if key == "rot":  # scaled, gpsd squares the sign away: the raw code
        return None if raw["turn"] == -128 else raw["turn"]
    if key.startswith("eta_"):
        month, rest = decoded["eta"].split("-")
        day, clock = rest.split("T")
        hour, minute = clock.rstrip("Z").split(":")
        return int({"eta_month": month, "eta_day": day, "eta_hour": hour, "eta_minute": minute}[key])
    if key in ("year", "month", "day", "hour", "minute") or (key == "second" and decoded["type"] == 4):
        stamp = decoded["timestamp"]  # 2026-12-08T12:00:30Z
        return int({"year": stamp[0:4], "month": stamp[5:7], "day": stamp[8:10], "hour": stamp[11:13],
                    "minute": stamp[14:16], "second": stamp[17:19]}[key])
    if key == "part":
        return None  # gpsd joins the two parts of a type 24
    value = decoded.get(key)
    if value == "nan":
        return None
    if key == "lat" and value == 91 or key == "lon" and value == 181 or key == "course" and value == 360:
        return None
    return value


def same(key, expected, got):
    if isinstance(expected, str):
        return isinstance(got, str) and got.rstrip("@ ") == expected
    if expected is None or got is None:
        return expected is None and got is None
    return abs(float(got) - float(expected)) <= RESOLUTION.get(key, 0)


def messages():
    lines = subprocess.run([PROGRAM], capture_output=True, text=True, check=True, timeout=30).stdout.splitlines()
    out = []
    for line in lines:
        if line.startswith("#"):
            out.append((json.loads(line[1:]), []))
        else:
            out[-1][1].append(line)
    return out


def main():
    samples = messages()
    stream = "\n".join(s for _, ss in samples for s in ss) + "\n"

    def gpsdecode(*options):
        lines = subprocess.run(["gpsdecode", *options], input=stream, capture_output=True, text=True,
                               timeout=30).stdout.splitlines()
        by_type = {}
        for decoded in (json.loads(line) for line in lines if line.startswith("{")):
            by_type.setdefault((decoded["type"], decoded["mmsi"]), []).append(decoded)
        return by_type

    by_type, raw_by_type = gpsdecode(), gpsdecode("-u")
    for expected, sentences in samples:
        name = f"type {expected['type']} ({expected['mmsi']})"
        if any(len(s) > 82 - 2 for s in sentences):
            problems.append(f"{name}: a sentence beyond 82 characters")
        payload = "".join(s.split(",")[5] for s in sentences)
        fill = int(sentences[-1].split(",")[6].split("*")[0])
        try:
            decoded = ais.decode(payload, fill)
        except Exception as error:  # the decoder's own refusal, whatever its kind
            problems.append(f"libais refuses {name}: {error}")
            continue
        candidates = by_type.get((expected["type"], expected["mmsi"]), [])
        raw = raw_by_type.get((expected["type"], expected["mmsi"]), [{}])
        if not candidates:
            problems.append(f"gpsdecode gave nothing for {name}")
        for key, value in expected.items():
            got = libais_value(decoded, key) if key != "type" else decoded["id"]
            if not same(key, value, got):
                problems.append(f"libais: {name} {key} is {got!r}, not {value!r}")
            if candidates and key != "part":
                got = gpsd_value(candidates[-1], raw[-1], key)
                if not same(key, value, got):
                    problems.append(f"gpsdecode: {name} {key} is {got!r}, not {value!r}")
    for problem in problems:
        print("FAILED:", problem, file=sys.stderr)
    print(f"{len(samples)} messages, two decoders: {len(problems)} problems")
    return 1 if problems else 0


sys.exit(main())
