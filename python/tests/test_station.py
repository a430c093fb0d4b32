# Errors, configuration, identity, self tests and the ADC data mode.
import numpy as np
import pytest
import tolmaren


def test_failures_raise_the_code_operation_and_words(tmp_path):
    with pytest.raises(tolmaren.Error) as refused:
        tolmaren.Basestation().open()
    assert (refused.value.code, refused.value.operation) == (2, "tolmaren_open")
    assert "configuration port (1235) refused the connection (code 2)" in str(refused.value)

    cut = tmp_path / "cut.bin"
    cut.write_bytes(bytes(1000))
    with pytest.raises(tolmaren.Error, match="cut.bin is truncated") as truncated:
        tolmaren.read_recording(str(cut))
    assert truncated.value.code is None
    with pytest.warns(UserWarning, match="no sidecar"):
        assert tolmaren.read_settings(str(cut))["probe"]["type"] == 0


def test_configuration_and_its_errors(station):
    with pytest.raises(tolmaren.Error) as bad_gain:
        station.set_gain(0, 9, 0)
    assert (bad_gain.value.code, bad_gain.value.operation) == (3, "tolmaren_setGain")
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



def test_identity_and_self_tests(station):
    assert (station.probe_type, station.serial_number) == (2, 77)
    assert station.api_version == (4, 1) and station.fpga_version() == (4, 1)
    station.write_id(4321, 2)
    assert station.read_id() == (4321, 2)
    outcomes = station.self_tests([6, 7], seconds=0.05)
    assert [(o.name, o.passed, o.display) for o in outcomes] == [
        ("6", True, "Test 6 Success  "), ("7", True, "Test 7 Success  ")]
    assert "words checked" in outcomes[1].detail


# Last: the data mode stays ADC.
def test_adc_data_mode(station):
    station.data_mode = "adc"
    with pytest.raises(tolmaren.Error) as wrong_mode:
        station.read(1)
    assert wrong_mode.value.code == 2
    adc = station.read_adc(20, raw=True)
    assert adc.adc.shape == (260, 32) and adc.adc.dtype == np.uint16
    assert np.array_equal(np.diff(adc.counters.astype(np.int64)), np.ones(259))
