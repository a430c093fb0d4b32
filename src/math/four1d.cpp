#include "math/four1d.h"

#include <cmath>
#include <utility>

namespace {

constexpr double twoPi = 6.28318530717958647692;

} // namespace

void four1d(std::vector<double>& data, int isign) {
    const std::size_t nn = data.empty() ? 0 : (data.size() - 1) / 2;
    if (nn == 0 || (nn & (nn - 1)) != 0 || isign == 0) return;
    const std::size_t n = 2 * nn;

    // Bit-reversal reordering of the complex values.
    std::size_t j = 1;
    for (std::size_t i = 1; i < n; i += 2) {
        if (j > i) {
            std::swap(data[j], data[i]);
            std::swap(data[j + 1], data[i + 1]);
        }
        std::size_t m = nn;
        while (m >= 2 && j > m) {
            j -= m;
            m >>= 1;
        }
        j += m;
    }

    // Danielson-Lanczos stages; the twiddle factor w advances by a
    // recurrence instead of a sine and cosine per step.
    for (std::size_t span = 2; span < n; span <<= 1) {
        const std::size_t step = span << 1;
        const double theta = twoPi / (isign * static_cast<double>(span));
        const double half = std::sin(0.5 * theta);
        const double wpr = -2.0 * half * half;
        const double wpi = std::sin(theta);
        double wr = 1.0;
        double wi = 0.0;
        for (std::size_t m = 1; m < span; m += 2) {
            for (std::size_t i = m; i <= n; i += step) {
                const std::size_t k = i + span;
                const double tempr = wr * data[k] - wi * data[k + 1];
                const double tempi = wr * data[k + 1] + wi * data[k];
                data[k] = data[i] - tempr;
                data[k + 1] = data[i + 1] - tempi;
                data[i] += tempr;
                data[i + 1] += tempi;
            }
            const double previous = wr;
            wr = wr * wpr - wi * wpi + wr;
            wi = wi * wpr + previous * wpi + wi;
        }
    }
}
