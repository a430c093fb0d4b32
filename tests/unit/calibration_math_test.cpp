// The numeric helpers of the calibrations against known values: the worked
// examples, and a direct DFT for the FFT.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <complex>

#include "math/array_statistics.h"
#include "math/calcAmp.h"
#include "math/count_ones.h"
#include "math/four1d.h"
#include "math/tolmaren_impedance.h"

TEST(CalibrationMath, SineAmplitudeOfTheWorkedExampleAndOfTooFewSamples) {
    std::vector<double> x(1000);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = 0.5 * std::sin(0.1 * i) + 3;
    EXPECT_NEAR(calcAmp(x), 0.4999989, 5e-8);
    EXPECT_NEAR(x[0], -0.000814, 1e-6); // the mean, 3.000814, left the caller's samples
    std::vector<double> two = {1, 2};
    EXPECT_EQ(calcAmp(two), 0.0);
}

TEST(CalibrationMath, FourierTransformMatchesADirectSumForEveryPowerOfTwoUpTo1024) {
    const double pi = std::acos(-1.0);
    for (std::size_t nn = 1; nn <= 1024; nn *= 2)
        for (const int sign : {1, -1}) {
            std::vector<double> data(2 * nn + 1);
            for (std::size_t i = 1; i < data.size(); ++i)
                data[i] = std::sin(0.37 * i * i) + 0.01 * i;
            const std::vector<double> input = data;
            four1d(data, sign);
            for (std::size_t j = 0; j < nn; ++j) {
                std::complex<double> sum;
                for (std::size_t k = 0; k < nn; ++k)
                    sum += std::complex<double>(input[2 * k + 1], input[2 * k + 2]) *
                           std::polar(1.0, sign * 2 * pi * double(j * k % nn) / nn);
                ASSERT_NEAR(data[2 * j + 1], sum.real(), 1e-9 * nn) << nn << " " << j;
                ASSERT_NEAR(data[2 * j + 2], sum.imag(), 1e-9 * nn) << nn << " " << j;
            }
        }
    // An even size has no room for the last value: it transforms one less
    // and leaves its last element; nn not a power of two is left alone.
    std::vector<double> even = {9, 1, 0, 2, 0, 7};
    four1d(even, 1);
    EXPECT_EQ(even, (std::vector<double>{9, 3, 0, -1, 0, 7}));
    std::vector<double> three = {0, 1, 0, 2, 0, 3, 0};
    four1d(three, 1);
    EXPECT_EQ(three, (std::vector<double>{0, 1, 0, 2, 0, 3, 0}));
}

TEST(CalibrationMath, ImpedanceOfTheWorkedExamplesAndOfAnOpenElectrode) {
    std::vector<double> times(1308);
    std::vector<float> samples(1308);
    const auto impedance = [&](double amplitude, double gain) {
        for (std::size_t i = 0; i < times.size(); ++i) {
            times[i] = i / 30000.0;
            samples[i] = static_cast<float>(amplitude * std::sin(2 * M_PI * 1000 * times[i] + 1));
        }
        return tolmaren_impedance(samples.data(), times.data(), gain);
    };
    EXPECT_EQ(impedance(4.5e-6, 1), 10000);
    EXPECT_EQ(impedance(4.5e-4, 1), 1004417);
    // More than 0.7 pF alone would let through (1/V below 4.398 nS).
    EXPECT_EQ(impedance(0.2, 1), INT_MAX);
}

TEST(CalibrationMath, BitsMeansAndSlopes) {
    EXPECT_EQ(count_ones(0), 0);
    EXPECT_EQ(count_ones(0x03FF), 10);
    float levels[] = {0.15f, 0.2f, 0.4f, 0.45f, 0.5f, 0.7f, 0.75f, 0.8f, 1.0f, 1.05f};
    // 1 up to the single-precision sum of squares.
    EXPECT_NEAR(array_slope(levels, levels, 10), 1.0, 1e-7);
    EXPECT_NEAR(array_mean(levels, 10), 0.6, 1e-7);
}
