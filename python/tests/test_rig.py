# Two basestations of a simulated rig recorded at once: a synchronised start
# gives both files the same block counters and sync values, the manifest
# names both, and a refused call records nothing.
import json

import numpy as np
import pytest
import tolmaren
from conftest import loopback_address

# This process's own addresses: the rig's first basestation and the next.
RIG_ADDRESS, SECOND_ADDRESS = loopback_address(0), loopback_address(1)


def test_record_rig_starts_every_probe_in_step(tmp_path):
    with tolmaren.Simulator(basestations=2, fast=False, address=RIG_ADDRESS) as rig, \
            tolmaren.Basestation(address=RIG_ADDRESS) as first, \
            tolmaren.Basestation(address=SECOND_ADDRESS) as second:
        with pytest.raises(ValueError, match="given twice"):
            tolmaren.record_rig([first, first], str(tmp_path / "twice"), packets=10)
        manifest = tolmaren.record_rig([first, second], str(tmp_path / "rig"), packets=500,
                                       sync=True)
        assert manifest == json.loads((tmp_path / "rig" / "rig.json").read_text())
        assert (manifest["synchronised"], manifest["ended"]) == (True, "completed")
        files = [probe["file"] for probe in manifest["probes"]]
        assert files == [f"probe-0-{RIG_ADDRESS}.bin", f"probe-1-{SECOND_ADDRESS}.bin"]
        assert manifest["leader"] == files[0]
        data = [tolmaren.read_recording(str(tmp_path / "rig" / name), raw=True)
                for name in files]
        assert [d.packets for d in data] == [500, 500]
        assert np.array_equal(data[0].counters[:, 0], data[1].counters[:, 0])
        assert np.array_equal(data[0].synchronization, data[1].synchronization)
        # Not over the files of the first recording.
        with pytest.raises(tolmaren.Error, match="exists"):
            tolmaren.record_rig([first, second], str(tmp_path / "rig"), packets=10)
        # The follower no longer waits for the line: a read that restarts the stream gets data.
        second.set_all_ap_gains(2)
        assert first.read(10).packets == 10 and second.read(10).packets == 10
