# Records 2 s from the simulator with the Python module, reads the recording
# back into NumPy arrays and plots one channel in microvolts at the probe's
# input (with matplotlib, when it is installed).
import numpy as np
import tolmaren

with tolmaren.Simulator(probe_type=2), tolmaren.Basestation() as station:
    station.select_bank(0)                   # every channel to its electrode in bank 0
    station.set_all_ap_gains(3)              # AP gain code 3: a gain of 500
    station.record("rec.bin", seconds=2)     # and the sidecar rec.bin.json

data = tolmaren.read_recording("rec.bin", raw=True)  # ADC codes; without raw, volts
settings = tolmaren.read_settings("rec.bin")
channel = int(np.argmax(np.ptp(data.ap[:, :384], axis=0)))  # the largest excursion
gain = settings["settings"]["channels"]["ap_gain"][channel]
microvolts_per_code = settings["stream"]["volts_per_code"] / gain * 1e6
microvolts = (data.ap[:, channel].astype(np.float64) - 512) * microvolts_per_code
print(f"{data}; channel {channel}: {microvolts.std():.1f} uV RMS")

try:
    import matplotlib

    matplotlib.use("Agg")  # draws into a file, no display needed
    import matplotlib.pyplot as plt
except ImportError:
    print("no plot: matplotlib is not installed (apt-get install python3-matplotlib)")
else:
    seconds = np.arange(len(microvolts)) / settings["stream"]["ap_sample_rate_hz"]
    plt.figure(figsize=(10, 3))
    plt.plot(seconds, microvolts, linewidth=0.3)
    plt.xlabel("time (s)")
    plt.ylabel("uV at the probe's input")
    plt.title(f"rec.bin, channel {channel}")
    plt.tight_layout()
    plt.savefig("channel.png", dpi=120)
    print("wrote channel.png")
