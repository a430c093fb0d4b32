# Errors, identity, self tests, calibrations and the ADC data mode, on a
# probe of type 0: one bank of electrodes makes the gain calibration short.
# (The ADC calibration takes about 25 minutes against the simulator: only its
# failure is run here.)
import numpy as np
import pytest
import tolmaren
from conftest import STATION_ADDRESS, VACANT_ADDRESS

PROBE_TYPE = 0


def report_row(path, label):
    for line in path.read_text().splitlines():
        if line.startswith(label + ","):
            return np.array([float(cell) for cell in line.split(",")[1:] if cell])
    raise AssertionError(f"{path} has no row {label}")


def test_failures_raise_the_code_operation_and_words(tmp_path):
    with pytest.raises(tolmaren.Error) as refused:
        tolmaren.Basestation(address=VACANT_ADDRESS).open()
    assert (refused.value.code, refused.value.operation) == (2, "tolmaren_open")
    assert (f"configuration port at {VACANT_ADDRESS}:1235: Connection refused (errno 111) "
            "(code 2)" in str(refused.value))
    with pytest.raises(ValueError, match="127.0.0.256 is not a numeric IPv4 address"):
        tolmaren.Basestation(address="127.0.0.256")

    zeros = tmp_path / "zeros.bin"
    zeros.write_bytes(bytes(1000))
    leftover = "388 bytes after its last whole block are left over"
    with pytest.warns(UserWarning, match=leftover), \
            pytest.raises(tolmaren.Error, match="zeros.bin holds no valid block") as garbage:
        tolmaren.read_recording(str(zeros))
    assert garbage.value.code is None
    with pytest.warns(UserWarning, match=leftover):
        assert tolmaren.read_settings(str(zeros))["probe"]["type"] == 0


def test_identity_and_self_tests(station):
    assert (station.probe_type, station.serial_number) == (0, 77)
    assert station.settings()["basestation"] == {"address": STATION_ADDRESS}
    assert station.api_version == (4, 1) and station.fpga_version() == (4, 1)
    station.write_id(4321, 0)
    assert station.read_id() == (4321, 0)
    outcomes = station.self_tests([6, 7], seconds=0.05)
    assert [(o.name, o.passed, o.display) for o in outcomes] == [
        ("6", True, "Test 6 Success  "), ("7", True, "Test 7 Success  ")]
    assert "words checked" in outcomes[1].detail


def test_calibrations_return_what_their_reports_hold(station, tmp_path):
    corrections = station.calibrate_gain(str(tmp_path))
    impedances = station.measure_impedance(str(tmp_path))
    assert corrections.shape == (384,) and corrections.dtype == np.uint16
    assert np.array_equal(corrections / 512, report_row(tmp_path / "gain.csv", "Gain Correction"))
    assert 0.95 < np.median(corrections / 512) < 1.05
    assert np.array_equal(impedances, report_row(tmp_path / "impedance.csv", "Impedance"))
    assert 1e7 < np.median(impedances) < 1e9


def test_a_failed_calibration_raises_and_leaves_no_report(tmp_path):
    with pytest.raises(tolmaren.Error) as failed:
        tolmaren.Basestation().calibrate_adc(str(tmp_path))
    # Without an open probe its first step, setting the ASIC mode, fails.
    assert (failed.value.operation, failed.value.code) == ("tolmaren_ADCSlopeCalibration", 1)
    assert list(tmp_path.iterdir()) == []


# Last: the data mode stays ADC.
def test_adc_data_mode(station):
    station.data_mode = "adc"
    with pytest.raises(tolmaren.Error) as wrong_mode:
        station.read(1)
    assert wrong_mode.value.code == 2
    adc = station.read_adc(20, raw=True)
    assert adc.adc.shape == (260, 32) and adc.adc.dtype == np.uint16
    assert np.array_equal(np.diff(adc.counters.astype(np.int64)), np.ones(259))
