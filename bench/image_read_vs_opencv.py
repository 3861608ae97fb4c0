#!/usr/bin/python3
"""Loads of a 9 MB colour BMP and PPM: tessaly's reader (bench_image_read)
against OpenCV's imread on the same files, in interleaved rounds, since the
machine may be shared.  OpenCV is only this comparison's (Debian's
python3-opencv), never tessaly's.

    bench/image_read_vs_opencv.py [--rounds N] BUILD/bench/bench_image_read [OTHER_BUILD/...]

Several builds (an older one, say) run in the same rounds, each named by
its path.
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

import cv2


def tessaly_round(exe, folder):
    out = subprocess.run([exe, folder, "--benchmark_format=json", "--benchmark_repetitions=5",
                          "--benchmark_report_aggregates_only=true"],
                         check=True, capture_output=True, text=True).stdout
    times = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") == "median":
            times[b["run_name"]] = b["real_time"]  # milliseconds
    return times


def opencv_round(names):
    times = {}
    for ext, path in names.items():
        samples = []
        for _ in range(5):
            n, start = 0, time.perf_counter()
            while True:
                im = cv2.imread(path, cv2.IMREAD_UNCHANGED)
                assert im is not None and im.shape[2] == 3
                n += 1
                if time.perf_counter() - start > 0.3:
                    break
            samples.append((time.perf_counter() - start) * 1e3 / n)
        times["cv2.imread " + ext] = statistics.median(samples)
    return times


def main():
    args = sys.argv[1:]
    rounds = 3
    if args[:1] == ["--rounds"]:
        rounds, args = int(args[1]), args[2:]
    with tempfile.TemporaryDirectory() as folder:
        all_times = {}
        for _ in range(rounds):
            for exe in args:
                for name, t in tessaly_round(exe, folder).items():
                    all_times.setdefault(exe + " " + name, []).append(t)
            files = {os.path.splitext(f)[1]: os.path.join(folder, f) for f in os.listdir(folder)}
            for name, t in opencv_round(files).items():
                all_times.setdefault(name, []).append(t)
        print("load: " + open("/proc/loadavg").read().split()[0] + " (1 min)")
        for name, ts in sorted(all_times.items()):
            print(f"{name:60s} " + "  ".join(f"{t:6.2f}" for t in ts) + "  ms")


if __name__ == "__main__":
    main()
