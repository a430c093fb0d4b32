# Fixtures of the Python module's tests. They run through ctest, which puts
# the built module on PYTHONPATH, names the built command-line tool in
# TOLMAREN_TOOL and clears TOLMAREN_BASESTATION_ADDRESS; the simulator binds
# the basestation's fixed ports.
import os

import pytest
import tolmaren

STATION_ADDRESS = "127.0.0.2"


@pytest.fixture(scope="module")
def station(request):
    """An open probe on a fast simulator, one per test module: of the type
    the module's PROBE_TYPE gives, else 2, at a loopback address other than
    the library's default."""
    probe_type = getattr(request.module, "PROBE_TYPE", 2)
    with tolmaren.Simulator(probe_type=probe_type, serial_number=77, seed=5,
                            address=STATION_ADDRESS), \
            tolmaren.Basestation(address=STATION_ADDRESS) as b:
        yield b


@pytest.fixture
def tool():
    return os.environ["TOLMAREN_TOOL"]
