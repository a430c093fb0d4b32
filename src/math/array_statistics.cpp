#include "math/array_statistics.h"

double array_mean(float* values, unsigned int n) {
    double sum = 0;
    for (unsigned int i = 0; i < n; ++i)
        sum += values[i];
    return sum / n;
}

double array_slope(float* x, float* y, unsigned int n) {
    const double meanX = array_mean(x, n);
    const double meanY = array_mean(y, n);
    double cross = 0;
    float squares = 0;
    for (unsigned int i = 0; i < n; ++i) {
        const double dx = x[i] - meanX;
        cross += dx * (y[i] - meanY);
        squares = static_cast<float>(squares + dx * dx);
    }
    return cross / squares;
}
