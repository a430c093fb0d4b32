"""Speed of tolmaren.read_recording: a recording from the simulator decoded
into NumPy arrays, in volts and in raw codes, as file bytes per second.

    PYTHONPATH=build/default/python /usr/bin/python3 bench/read_recording_bench.py [SECONDS]

It runs a simulator on the basestation's ports. Compare with the C++ reader
(bench/export_bench, BM_ReadRecording) and the library's decoder
(bench/decode_bench).
"""
import os
import statistics
import sys
import tempfile
import time

import tolmaren

RUNS = 7


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 20
    with tempfile.TemporaryDirectory() as directory:
        path = os.path.join(directory, "bench.bin")
        with tolmaren.Simulator(), tolmaren.Basestation() as station:
            station.record(path, seconds=seconds)
        size = os.path.getsize(path)
        print(f"{path}: {size / 1e6:.0f} MB, {seconds:g} s of recording")
        for raw in (False, True):
            rates = []
            for _ in range(RUNS):
                start = time.perf_counter()
                data = tolmaren.read_recording(path, raw=raw)
                rates.append(size / (time.perf_counter() - start) / 1e9)
                del data
            print(f"read_recording(raw={raw}): median {statistics.median(rates):.2f} GB/s, "
                  f"best {max(rates):.2f} GB/s over {RUNS} runs")


if __name__ == "__main__":
    main()
