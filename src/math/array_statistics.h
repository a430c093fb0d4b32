#pragma once

// Means and least-squares slopes of sample arrays, as the ADC calibrations
// take them from ADC packets.

// The sum of the n values, accumulated in double, divided by n.
double array_mean(float* values, unsigned int n);

// The least-squares slope of y over x: sum (x - mean x)(y - mean y) over
// sum (x - mean x)^2. The means and the cross sum are double; the sum of
// squares is rounded to single precision after every addition, which the
// calibrations' stored results depend on.
double array_slope(float* x, float* y, unsigned int n);
