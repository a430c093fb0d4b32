#include "math/tolmaren_impedance.h"

#include <climits>
#include <cmath>

namespace {

constexpr unsigned int windowStart = 1000;
constexpr unsigned int windowLength = 300;     // ten periods of 1 kHz at 30 kHz
constexpr double radiansPerSecond = 6283.1853; // 2 pi x 1 kHz
constexpr double testCurrent = 4.5e-10;
constexpr double parallelAdmittance = 4.39822971e-9; // 0.7 pF at 1 kHz

} // namespace

int tolmaren_impedance(float* samples, double* times, double gain) {
    double sine = 0;
    double cosine = 0;
    for (unsigned int i = windowStart; i < windowStart + windowLength; ++i) {
        sine += samples[i] * std::sin(radiansPerSecond * times[i]);
        cosine += samples[i] * std::cos(radiansPerSecond * times[i]);
    }
    const double amplitude = 2 * std::hypot(sine, cosine) / windowLength;
    const double volts = amplitude / gain / testCurrent;
    const double admittance = 1 / volts - parallelAdmittance;
    // Written so that a NaN also counts as not measurable.
    if (!(admittance > 0)) return INT_MAX;
    const double ohms = 1 / admittance;
    if (ohms >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(ohms);
}
