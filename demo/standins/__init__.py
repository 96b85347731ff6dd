"""Stand-ins for what the test machines lack (the simulator, RealTraffic, the download
site) and helpers to start the programs under test."""
