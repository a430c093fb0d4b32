# Data from the live stream and from recordings, on a probe of type 2: the
# module's arrays against the library's own decoder, its recording against
# the tool's files; and the configuration calls.
import json
import os
import signal
import subprocess
import threading

import numpy as np
import pytest
import tolmaren

FIELDS = ("ap", "lfp", "counters", "synchronization", "start_trigger")


def played_back(path, packets, raw):
    with tolmaren.Basestation(playback=str(path)) as playback:
        return playback.read(packets, raw=raw)


def test_recording_decodes_as_the_library_does(station, tmp_path):
    station.select_bank(1)
    station.set_all_ap_gains(3)
    path = tmp_path / "rec.bin"
    station.record(str(path), packets=400)
    blocks = bytearray(path.read_bytes())
    # Packet 100, block 5: the marker bit of its first AP word. Only that
    # block goes; its packet comes with the other 11.
    blocks[(12 * 100 + 5) * 612 + 100] |= 0x80
    path.write_bytes(blocks)

    for raw in (False, True):
        data = tolmaren.read_recording(str(path), raw=raw)
        assert data.counts == {"packets": 399, "packets_abandoned": 1, "blocks": 4799,
                               "blocks_rejected": 1, "gaps": 1, "blocks_lost": 1, "segments": 1}
        assert data.ap.shape == (4799, 384) and data.lfp.shape == (400, 384)
        assert data.ap.dtype == (np.uint16 if raw else np.float32)
        assert data.ended
        # Asked for more than the file holds: what it holds, and the end said.
        library = played_back(path, 450, raw)
        assert library.ended
        for field in FIELDS:
            assert np.array_equal(getattr(data, field), getattr(library, field)), field
        assert library.counts == data.counts

    codes = tolmaren.read_recording(str(path), raw=True)
    volts = tolmaren.read_recording(str(path))
    assert np.array_equal(volts.ap, codes.ap.astype(np.float32) * np.float32(1.2 / 1023))
    assert codes.lfp[100, 10] == 512  # carried by the lost block 5
    # A window: packets 200 to 249.
    window = tolmaren.read_recording(str(path), raw=True, start=200, count=50)
    assert np.array_equal(window.ap, codes.ap[200 * 12 - 1 : 250 * 12 - 1])
    assert window.counts["blocks_rejected"] == 0 and not window.ended


def test_live_read_is_gapless_and_in_range(station):
    station.select_bank(0)
    data = station.read(500, raw=True)
    assert data.ap.shape == (6000, 384) and data.counts["blocks_rejected"] == 0
    assert data.counts["gaps"] == 0
    assert np.array_equal(np.diff(data.counters[:, 0].astype(np.int64)), np.ones(5999))
    assert data.ap.max() <= 1023 and 400 < np.median(data.ap) < 624
    volts = station.read(10)
    assert volts.ap.dtype == np.float32 and 0.4 < float(np.median(volts.ap)) < 0.8


def test_record_writes_the_tools_sidecar(station, tmp_path):
    station.select_bank(1)
    station.set_gain(5, 3, 0)
    path = tmp_path / "rec.bin"
    sidecar = station.record(str(path), seconds=0.2)
    assert sidecar == json.loads((tmp_path / "rec.bin.json").read_text())
    assert sidecar["probe"] == {"type": 2, "serial_number": 77}
    assert sidecar["recorded"]["packets"] == 500 and path.stat().st_size == 500 * 12 * 612
    channels = sidecar["settings"]["channels"]
    assert channels["electrode"][5] == 389 and channels["ap_gain"][5] == 500
    assert tolmaren.read_settings(str(path)) == sidecar


def write_geometry(path, contacts):
    """A probeinterface file of one probe: contact e at (16 (e % 2), 20 (e // 2))."""
    probe = {"ndim": 2, "si_units": "um",
             "annotations": {"model_name": "test", "manufacturer": "test"},
             "contact_annotations": {},
             "contact_positions": [[16 * (e % 2), 20 * (e // 2)] for e in range(contacts)],
             "contact_plane_axes": [[[1, 0], [0, 1]]] * contacts,
             "contact_shapes": ["circle"] * contacts,
             "contact_shape_params": [{"radius": 6}] * contacts,
             "contact_ids": [str(e) for e in range(contacts)], "shank_ids": [""] * contacts}
    path.write_text(json.dumps({"specification": "probeinterface", "version": "0.2.21",
                                "probes": [probe]}))


def test_export_keeps_the_timeline_as_the_tool_does(station, tmp_path, tool):
    station.select_bank(1)
    path = tmp_path / "rec.bin"
    station.record(str(path), packets=400)
    blocks = bytearray(path.read_bytes())
    blocks[(12 * 100 + 5) * 612 + 100] |= 0x80  # block 1205 fails its marker check
    path.write_bytes(bytes(blocks[:-100]))  # and the last block is cut short
    geometry = tmp_path / "geometry.json"
    write_geometry(geometry, 960)

    with pytest.warns(UserWarning) as warned:
        summary = tolmaren.export(str(path), str(tmp_path / "py"), geometry=str(geometry))
    leftover = "512 bytes after its last whole block are left over"
    assert sum(str(w.message).count(leftover) for w in warned) == 1
    subprocess.run([tool, "export", str(path), str(tmp_path / "cli"), "--geometry",
                    str(geometry)], check=True, capture_output=True)
    for name in ("ap.bin", "lfp.bin", "sync.bin", "start_trigger.bin", "recording.json",
                 "probe.json"):
        assert (tmp_path / "py" / name).read_bytes() == (tmp_path / "cli" / name).read_bytes()
    assert summary["ap_samples"] == 4799 and summary["lfp_samples"] == 400
    assert summary["gaps"] == [(1205, 1)] and summary["segments"] == [(0, 4799)]

    with pytest.warns(UserWarning, match=leftover):
        data = tolmaren.read_recording(str(path), raw=True)
    rows = data.counters[:, 0].astype(np.int64) - data.counters[0, 0]
    exported = np.fromfile(tmp_path / "py" / "ap.bin", dtype="<i2").reshape(-1, 384)
    assert np.array_equal(exported[rows], data.ap.astype(np.int16) - 512)
    assert not exported[1205].any()
    sync = np.fromfile(tmp_path / "py" / "sync.bin", dtype="<u2")
    assert np.array_equal(sync[rows], data.synchronization) and sync[1205] == 0
    lfp = np.fromfile(tmp_path / "py" / "lfp.bin", dtype="<i2").reshape(400, 384)
    assert np.array_equal(lfp, data.lfp.astype(np.int16) - 512)
    probe = json.loads((tmp_path / "py" / "probe.json").read_text())["probes"][0]
    assert probe["contact_positions"][5] == [16, 20 * 194]  # electrode 389


def test_ctrl_c_keeps_the_recording(station, tmp_path):
    path = tmp_path / "long.bin"
    threading.Timer(1.5, os.kill, (os.getpid(), signal.SIGINT)).start()
    with pytest.raises(KeyboardInterrupt):
        station.record(str(path), seconds=3600)
    sidecar = json.loads((tmp_path / "long.bin.json").read_text())
    assert sidecar["recorded"]["ended"] == "stopped"
    assert path.stat().st_size == sidecar["recorded"]["packets"] * 12 * 612 > 0


def test_record_refuses_what_it_must_not_do_and_keeps_what_ended_early(station, tmp_path):
    path = tmp_path / "rec.bin"
    path.write_bytes(b"an earlier recording")
    with pytest.raises(tolmaren.Error, match="rec.bin exists: pass --force"):
        station.record(str(path), packets=10)
    assert path.read_bytes() == b"an earlier recording"
    station.record(str(path), packets=100, force=True)
    # A playback ends where its file ends: the copy holds every byte of it.
    copy = tmp_path / "copy.bin"
    with tolmaren.Basestation(playback=str(path)) as playback:
        with pytest.raises(tolmaren.Error, match="played-back recording ended") as ended:
            playback.record(str(copy), seconds=10)
    assert ended.value.data["recorded"]["ended"] == "link lost"
    assert copy.read_bytes() == path.read_bytes()


def ap_spread(data):
    return data.ap.reshape(-1, 12 * 384).astype(float).std(axis=1)


# The simulator's signal scales with the gain: from their first sample on,
# a read and a recording carry the gain set before them, not the data of the
# old gain that the basestation and the links still held.
def test_settings_hold_from_the_first_sample(station, tmp_path):
    station.select_bank(0)
    station.set_all_ap_gains(1)                       # a gain of 125
    low = np.median(ap_spread(station.read(200, raw=True)))
    station.set_all_ap_gains(7)                       # 3000
    assert ap_spread(station.read(1, raw=True))[0] > 8 * low
    station.set_all_ap_gains(1)
    station.read(200)
    station.set_all_ap_gains(7)
    sidecar = station.record(str(tmp_path / "rec.bin"), packets=20)
    assert sidecar["settings"]["channels"]["ap_gain_code"][0] == 7
    assert ap_spread(tolmaren.read_recording(str(tmp_path / "rec.bin"), raw=True))[0] > 8 * low


# Last: the settings stay changed.
def test_configuration_and_its_errors(station, tool, tmp_path):
    # Refused alike, in the same words, by the module and the tool.
    for call, option in ((lambda: station.set_gain(0, 9, 0), "--ap-gain 9"),
                         (lambda: station.select_bank(99), "--bank 99"),
                         (lambda: station.set_filter(2), "--filter 2")):
        with pytest.raises(ValueError) as refused:
            call()
        run = subprocess.run([tool, "record", str(tmp_path / "never.bin"), "--packets", "1",
                              *option.split()], capture_output=True, text=True)
        assert run.returncode == 2 and str(refused.value) in run.stderr
    with pytest.raises(ValueError, match="bank 3 holds no electrode of a probe of type 2"):
        station.select_bank(3)
    with pytest.raises(tolmaren.Error) as bad_channel:
        station.set_gain(400, 1, 1)
    assert (bad_channel.value.code, bad_channel.value.operation) == (2, "tolmaren_setGain")
    for wrong in ({"seconds": 1, "packets": 5}, {"seconds": -1}):
        with pytest.raises(ValueError):
            station.record("never.bin", **wrong)

    station.set_all_lfp_gains(2)
    station.set_reference(7, 1)
    station.set_standby(8, True)
    assert station.select_bank(2) == "channels 192 to 383 have no electrode in bank 2 and record none"
    settings = station.settings()["settings"]["channels"]
    assert settings["lfp_gain_code"][0] == 2 and settings["reference"][7] == 1
    assert settings["standby"][8] and settings["electrode"][191] == 959 and settings["bank"][192] is None
    for channel in range(384):
        station.select_electrode(channel, 255, write=False)
    station.write_shank_chain()
    with pytest.raises(tolmaren.Error, match="select_bank"):
        station.record(str(tmp_path / "none.bin"), packets=5)
    station.record(str(tmp_path / "none.bin"), packets=5, no_electrodes_ok=True)
