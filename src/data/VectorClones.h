#pragma once

// Marks a hot loop's function to be compiled twice on x86-64: for processors
// with AVX2 and for any other, the loader choosing the version that the
// processor runs. Elsewhere it is compiled once, as usual.
#if defined(__x86_64__) && defined(__GNUC__)
#define TOLMAREN_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TOLMAREN_VECTOR_CLONES
#endif
