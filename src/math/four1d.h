#pragma once

#include <vector>

// An in-place radix-2 fast Fourier transform of nn complex values held from
// element 1 on: data[2k+1] and data[2k+2] are the real and imaginary part of
// value k; data[0] is not used. nn is (size - 1) / 2, so a vector of
// 2 nn + 1 elements is transformed whole and one of even size leaves its last
// element alone. isign 1 gives sum_k h_k exp(+2 pi i jk / nn), isign -1 the
// inverse without the 1/nn factor; no normalisation is applied. Nothing
// happens when nn is 0 or not a power of two, or isign is 0.
void four1d(std::vector<double>& data, int isign);
