"""gpsbabel reads the GPX that --record-gpx writes: the track with its
points and times, the waypoints and the route."""
import os
import subprocess
import sys
import tempfile

PROGRAM = sys.argv[1]


def main():
    with tempfile.TemporaryDirectory(prefix="kovra-gpsbabel-") as work:
        recorded = os.path.join(work, "run.gpx")
        subprocess.run([PROGRAM, "--time", "2026-12-08T12:00:00Z", "--rate", "10", "--count", "30", "--fast",
                        "--record-gpx", recorded], stdout=subprocess.DEVNULL, check=True, timeout=30)
        track = subprocess.run(["gpsbabel", "-t", "-i", "gpx", "-f", recorded, "-o", "unicsv", "-F", "-"],
                               capture_output=True, text=True, check=True, timeout=30).stdout.splitlines()
        waypoints = subprocess.run(["gpsbabel", "-w", "-i", "gpx", "-f", recorded, "-o", "unicsv", "-F", "-"],
                                   capture_output=True, text=True, check=True, timeout=30).stdout.splitlines()
        routes = subprocess.run(["gpsbabel", "-r", "-i", "gpx", "-f", recorded, "-o", "unicsv", "-F", "-"],
                                capture_output=True, text=True, check=True, timeout=30).stdout.splitlines()
    problems = []
    if len(track) != 31 or "2026/12/08" not in track[1] or "12:00:00" not in track[1]:
        problems.append(f"track: {len(track) - 1} points, first {track[1:2]}")
    if len(waypoints) != 4 or "HARBOUR" not in "".join(waypoints):
        problems.append(f"waypoints: {waypoints}")
    if len(routes) != 4:
        problems.append(f"route: {routes}")
    print("gpsbabel:", len(track) - 1, "track points,", len(waypoints) - 1, "waypoints,", len(routes) - 1,
          "route points")
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


sys.exit(main())
