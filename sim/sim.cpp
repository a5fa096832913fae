// Line simulator.
