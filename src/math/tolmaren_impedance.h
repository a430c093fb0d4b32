#pragma once

// The impedance in ohms of one electrode from a record of 1308 samples in
// volts (at 30 kHz, times in seconds) taken while the signal generator drives
// a 1 kHz test current of 0.45 nA: the 1 kHz component over ten periods
// (samples 1000 to 1299) divided by the gain factor and the current, with the
// admittance of the electrode's 0.7 pF in parallel taken off.
//
// An impedance beyond what an int holds, or a measured admittance at or
// below that of the 0.7 pF alone (an open electrode, or noise on one; also a
// gain of 0 or below), gives the largest int.
int tolmaren_impedance(float* samples, double* times, double gain);
