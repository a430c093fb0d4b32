#pragma once

#include <vector>

// The peak amplitude of a single sinusoid in the samples, in their unit,
// without knowing its frequency: the mean is removed from the samples (the
// caller's vector is changed), c = cos(angular step per sample) is estimated
// from neighbouring samples, and the residual of the recurrence
// x[i] = 2c x[i-1] - x[i-2] gives the amplitude. Fewer than three samples, or
// samples that are all equal, have no measurable amplitude: 0.
double calcAmp(std::vector<double>& samples);
