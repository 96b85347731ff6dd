"""The simulator stand-in the SimClient tests play against; pytest shows its last
lines when a test failed."""
import pytest

from standins.simconnect_server import SimConnectServer


@pytest.fixture
def server():
    s = SimConnectServer()
    yield s
    s.stop()
    print("\n".join(s.lines[-200:]))
