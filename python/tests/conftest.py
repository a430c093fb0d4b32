# Fixtures of the Python module's tests. They run through ctest, which puts
# the built module on PYTHONPATH, names the built command-line tool in
# TOLMAREN_TOOL and clears TOLMAREN_BASESTATION_ADDRESS.
import os

import pytest
import tolmaren


def loopback_address(k):
    """Address k (0 to 2) of this process's own. Test processes run at once,
    each simulator on the basestation's fixed ports: each process takes
    127.0.0.0 + 4 pid + k, as the C++ tests do (tests/common/TestAddress.h)."""
    host = 4 * os.getpid() + k
    return f"127.{host >> 16 & 255}.{host >> 8 & 255}.{host & 255}"


STATION_ADDRESS = loopback_address(0)
# Where nothing listens.
VACANT_ADDRESS = loopback_address(2)
# Where a Simulator, a Basestation and the tool look when not given an
# address, as in the README's example.
os.environ["TOLMAREN_BASESTATION_ADDRESS"] = STATION_ADDRESS


@pytest.fixture(scope="module")
def station(request):
    """An open probe on a fast simulator, one per test module: of the type
    the module's PROBE_TYPE gives, else 2, at this process's own address."""
    probe_type = getattr(request.module, "PROBE_TYPE", 2)
    with tolmaren.Simulator(probe_type=probe_type, serial_number=77, seed=5,
                            address=STATION_ADDRESS), \
            tolmaren.Basestation(address=STATION_ADDRESS) as b:
        yield b


@pytest.fixture
def tool():
    return os.environ["TOLMAREN_TOOL"]
