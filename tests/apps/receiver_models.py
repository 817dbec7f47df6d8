"""Each receiver model against a real recording of that receiver (the
folder of recordings is given): run for the recording's time, place and
fix, standing still, with the sentences the recording's receiver was set
to send, the model's output must have the recording's sentence kinds in the
same order per epoch, the same talkers, the same field count of every kind,
the same shape (empty, digits, decimals) of every field, satellites
numbered alike and as many GSV sequences a system (one a signal); and a
start's epochs before the fix as a recording of the receiver still
acquiring shapes them. What still
differs is listed in KNOWN with its reason; anything else fails."""
import os
import re
import subprocess
import sys
from collections import Counter

PROGRAM, LOGS = sys.argv[1], sys.argv[2]

# model, recording, the kinds its receiver sent that the model leaves out
MODELS = [
    ("ublox-m8", "ublox-8.log"),
    ("ublox-m9", "ublox-neo-m9n-nmea.log"),
    ("ublox-f9p", "ublox-zed-f9p-nmea.log"),
    ("mtk", "quectel-L70.log"),
    ("sirf", "bu353s4.log"),
    ("quectel-l76k", "quectel-l76k-nmea.log"),
    ("garmin", "foretrex-201.log"),
]
# (model, kind, field) -> why it differs
KNOWN = {
    ("ublox-m9", "GST", None): "u-blox writes GST's numbers with two or three significant digits",
    ("ublox-m9", "GBS", None): "GBS (fault detection) is not a kind of the simulator yet",
    ("ublox-f9p", "GST", None): "u-blox writes GST's numbers with two or three significant digits, "
                                "and HPG 1.11 leaves the error ellipse empty",
    ("ublox-f9p", "GBS", None): "GBS (fault detection) is not a kind of the simulator yet",
    ("mtk", "GRS", None): "GRS (range residuals) is not a kind of the simulator",
    ("quectel-l76k", "TXT", None): "TXT (the antenna's status as text) is not a kind of the simulator",
    ("mtk", "GST", 7): "the L70 writes GST's altitude error as five whole digits (00014)",
}


# The kinds the simulator sends; a recording's others are listed as the model's gaps.
KNOWN_KINDS = {"RMC", "GGA", "GLL", "VTG", "GNS", "GSA", "GSV", "GST", "HDT", "ZDA", "RMB", "BOD", "RTE",
               "PGRME", "PGRMZ"}


def sentences(text):
    """Every whole sentence with a right checksum: (talker, kind, fields); a
    proprietary sentence (PGRME) has no talker."""
    for line in text.splitlines():
        match = re.fullmatch(r"\$([A-Z]{5}),(.*)\*([0-9A-F]{2})", line.strip())
        if not match:
            continue
        address = match.group(1)
        checksum = 0
        for c in (address + "," + match.group(2)).encode():
            checksum ^= c
        if checksum == int(match.group(3), 16):
            talker, kind = ("", address) if address[0] == "P" else (address[:2], address[2:])
            yield talker, kind, match.group(2).split(",")


def epochs(parsed):
    """The sentences grouped by epoch, each starting at RMC."""
    groups, current = [], []
    for sentence in parsed:
        if sentence[1] == "RMC" and current:
            groups.append(current)
            current = []
        current.append(sentence)
    return groups[1:]  # the first may have started before the recording


def order(epoch):
    """Talker and kind in order, a run of the same once."""
    seen = []
    for talker, kind, _ in epoch:
        if not seen or seen[-1] != talker + kind:
            seen.append(talker + kind)
    return seen


def shape(field):
    if field == "":
        return "empty"
    if re.fullmatch(r"-?\d+", field):
        return f"{len(field.lstrip('-'))} digits"
    if re.fullmatch(r"-?\d+\.\d+", field):
        return f"{len(field.split('.')[1])} decimals"
    return "text"


def shapes(parsed):
    """Per kind: the field counts seen, and per field the shapes seen; a GSV's
    satellites as one block of four."""
    counts, fields = {}, {}
    for _, kind, values in parsed:
        if kind == "GSV":
            counts.setdefault(kind, set()).add((len(values) - 3) % 4)  # 1: a signal ID at the end
            head, blocks = values[:3], values[3:len(values) - (len(values) - 3) % 4]
            for i, v in enumerate(head):
                fields.setdefault((kind, i), set()).add(shape(v))
            for b in range(0, len(blocks), 4):
                for i, v in enumerate(blocks[b:b + 4]):
                    fields.setdefault((kind, f"satellite {i}"), set()).add(shape(v))
        else:
            counts.setdefault(kind, set()).add(len(values))
            for i, v in enumerate(values):
                if kind == "GGA" and i == 6 and v.isdigit() and int(v) >= 10:
                    continue  # a count of ten or more tells nothing of zero padding
                # GSA's twelve slots fill as far as the satellites used reach.
                fields.setdefault((kind, "slot" if kind == "GSA" and 2 <= i <= 13 else i), set()).add(shape(v))
    return counts, fields


def bands(parsed):
    """Per GSV talker, the bands of satellite numbers seen: 1-32, 33-64 (SBAS in GPGSV), 65-96 (GLONASS).
    Galileo and BeiDou number their own, up to 36 and 63."""
    seen = {}
    for talker, kind, values in parsed:
        if kind == "GSV":
            for b in range(3, len(values) - 3, 4):
                if values[b].isdigit():
                    band = (int(values[b]) - 1) // 32
                    seen.setdefault(talker, set()).add(f"{32 * band + 1}-{32 * band + 32}")
    return seen


def sequences(groups):
    """Per GSV talker, how many GSV sequences an epoch carries (one a signal of a system)."""
    seen = {}
    for epoch in groups:
        count = Counter(talker for talker, kind, values in epoch if kind == "GSV" and values[1] == "1")
        for talker, n in count.items():
            seen.setdefault(talker, set()).add(n)
    return seen


def recorded_state(parsed):
    """The time, place, height and fix of the recording's first GGA and RMC."""
    gga = next(v for _, k, v in parsed if k == "GGA" and v[5] != "0")
    rmc = next(v for _, k, v in parsed if k == "RMC" and v[1] == "A")

    def degrees(value, hemisphere, width):
        d = int(value[:width]) + float(value[width:]) / 60
        return -d if hemisphere in "SW" else d

    t, date = rmc[0], rmc[8]
    return {"--time": f"20{date[4:6]}-{date[2:4]}-{date[0:2]}T{t[0:2]}:{t[2:4]}:{t[4:6]}Z",
            "--lat": f"{degrees(gga[1], gga[2], 2):.9f}", "--lon": f"{degrees(gga[3], gga[4], 3):.9f}",
            "--alt": gga[8], "--geoid": gga[10], "--fix": gga[5]}


def compare(model, recording):
    with open(os.path.join(LOGS, recording), encoding="ascii", errors="replace") as file:
        recorded = list(sentences(file.read()))
    known = KNOWN_KINDS
    kinds = list(dict.fromkeys(k for _, k, _ in recorded))
    state = recorded_state(recorded)
    command = [PROGRAM, "--receiver", model, "--count", "20", "--fast", "--speed", "0",
               "--sentences", ",".join(k for k in kinds if k in known)]
    for option, value in state.items():
        command += [f"{option}={value}"]
    run = subprocess.run(command, capture_output=True, text=True, timeout=60)
    if run.returncode != 0:
        return [f"{model}: the run failed: {run.stderr.strip()}"]
    ours = list(sentences(run.stdout))
    problems, excused = [], []

    def differ(kind, field, what):
        reason = KNOWN.get((model, kind, field)) or KNOWN.get((model, kind, None))
        (excused if reason else problems).append(f"{model} {kind} {'' if field is None else field}: {what}"
                                                 + (f" — {reason}" if reason else ""))

    # Every epoch of ours as one of the receiver's (GSV comes every epoch, or every fifth).
    their_orders = {tuple(s for s in order(e) if s[2:] in known or s in known) for e in epochs(recorded)}
    for our_order in {tuple(order(e)) for e in epochs(ours)}:
        if our_order not in their_orders:
            problems.append(f"{model}: an epoch is {' '.join(our_order)}, the receiver's "
                            f"{' / '.join(' '.join(o) for o in sorted(their_orders))}")
    for kind in kinds:
        if kind not in known:
            differ(kind, None, "sent by the receiver, not by the model")
    (their_counts, their_fields), (our_counts, our_fields) = shapes(recorded), shapes(ours)
    for kind, counts in their_counts.items():
        if kind in known and our_counts.get(kind) != counts:
            differ(kind, None, f"{sorted(our_counts.get(kind, []))} fields, the receiver's {sorted(counts)}")
    for key, seen in their_fields.items():
        if key[0] in known and key in our_fields and not our_fields[key] <= seen:
            differ(key[0], key[1], f"{sorted(our_fields[key])}, the receiver's {sorted(seen)}")
    our_bands, their_bands = bands(ours), bands(recorded)
    for talker in {"GP", "GL"}:  # GPS with SBAS, GLONASS by slot
        if our_bands.get(talker) != their_bands.get(talker):
            differ("GSV", talker, f"numbers {sorted(our_bands.get(talker, []))}, the receiver's "
                                  f"{sorted(their_bands.get(talker, []))}")
    our_sequences, their_sequences = sequences(epochs(ours)), sequences(epochs(recorded))
    for talker, counts in their_sequences.items():
        if talker in our_sequences and not our_sequences[talker] <= counts:
            differ("GSV", talker, f"{sorted(our_sequences[talker])} sequences an epoch, "
                                  f"the receiver's {sorted(counts)}")
    for line in excused:
        print("known:", line)
    return problems


# Before a fix: model, recording made while its receiver was acquiring, the
# recording's place (it has no fix to take it from) and how the receiver
# started (it knew where its satellites were: from its almanac, warm).
BEFORE_FIX = [("ublox-m8", "rx210.log", "50.0025", "8.6438", "warm"),
              ("garmin", "foretrex-201.log", "55.07", "10.43", "warm")]


def compare_before_fix(model, recording, lat, lon, start):
    """A start's epochs without a fix, once the time is known, against a
    recording of the receiver still acquiring: the same field counts and
    shapes of every kind both send."""
    with open(os.path.join(LOGS, recording), encoding="ascii", errors="replace") as file:
        recorded = list(sentences(file.read()))
    rmc = next(v for _, k, v in recorded if k == "RMC" and v[0])  # the first with a time of day
    t, date = rmc[0], rmc[8]
    kinds = list(dict.fromkeys(k for _, k, _ in recorded))
    run = subprocess.run([PROGRAM, "--receiver", model, "--start", start, "--count", "20", "--fast", "--speed", "0",
                          f"--time=20{date[4:6]}-{date[2:4]}-{date[0:2]}T{t[0:2]}:{t[2:4]}:{t[4:6]}Z",
                          f"--lat={lat}", f"--lon={lon}", "--sentences", ",".join(kinds)],
                         capture_output=True, text=True, timeout=60)
    if run.returncode != 0:
        return [f"{model} before a fix: the run failed: {run.stderr.strip()}"]
    ours = [s for s in sentences(run.stdout) if s[1] != "RMC" or s[2][8] != ""]
    ours = ours[next(i for i, s in enumerate(ours) if s[1] == "RMC"):]  # from the first epoch with a date
    fixed = next((i for i, s in enumerate(ours) if s[1] == "RMC" and s[2][1] == "A"), len(ours))
    ours = ours[:fixed]  # to the fix
    problems = []
    (their_counts, their_fields), (our_counts, our_fields) = shapes(recorded), shapes(ours)
    for kind, counts in their_counts.items():
        if our_counts.get(kind) != counts:
            problems.append(f"{model} before a fix {kind}: {sorted(our_counts.get(kind, []))} fields, "
                            f"the receiver's {sorted(counts)}")
    for key, seen in their_fields.items():
        if key in our_fields and not our_fields[key] <= seen:
            problems.append(f"{model} before a fix {key[0]} {key[1]}: {sorted(our_fields[key])}, "
                            f"the receiver's {sorted(seen)}")
    return problems


def main():
    problems = []
    for model, recording in MODELS:
        problems += compare(model, recording)
    for model, recording, lat, lon, start in BEFORE_FIX:
        problems += compare_before_fix(model, recording, lat, lon, start)
    for problem in problems:
        print("FAILED:", problem, file=sys.stderr)
    print(f"receiver models against their recordings: {len(problems)} problems")
    return 1 if problems else 0


sys.exit(main())
