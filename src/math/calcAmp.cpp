#include "math/calcAmp.h"

#include <cmath>

double calcAmp(std::vector<double>& x) {
    const std::size_t n = x.size();
    if (n == 0) return 0;
    long double sum = 0;
    for (const double v : x)
        sum += v;
    const double mean = static_cast<double>(sum / n);
    for (double& v : x)
        v -= mean;
    if (n < 3) return 0;

    long double neighbours = 0;
    long double squares = 0;
    for (std::size_t i = 1; i + 1 < n; ++i) {
        neighbours += (x[i - 1] + x[i + 1]) * x[i];
        squares += x[i] * x[i];
    }
    if (squares == 0) return 0;
    const long double c = neighbours / (2 * squares);
    long double residual = 0;
    for (std::size_t i = 2; i < n; ++i)
        residual += x[i - 1] * x[i - 1] - 2 * c * x[i - 1] * x[i] + x[i] * x[i];
    return static_cast<double>(std::sqrt(residual / (1 - c * c) / (n - 2)));
}
