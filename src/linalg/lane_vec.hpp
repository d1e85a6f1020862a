#pragma once
// Eight doubles (all lanes of a batch) operated on element by element (GCC vector extension).
// Each element sees one IEEE operation at a time, exactly as a scalar would; with contraction
// to fused multiply-add off, a vector loop gives the same bits as the scalar loop it replaces.
// Compiled for the baseline x86-64 this becomes four SSE2 instructions, in functions cloned
// for AVX2 two AVX instructions, for AVX-512 one (about a tenth less work for the processor
// than two AVX instructions where it has AVX-512).
//
// The helpers are always inlined, so no vector crosses a call boundary, where its passing
// convention would depend on the instruction set; the build silences the compiler's note about
// that convention (-Wno-psabi).

// Functions whose loops run over lanes are compiled three times, for the baseline, AVX2 and
// AVX-512, and the processor picks one at load time. TIDAL_BASELINE_ONLY builds the baseline alone (to
// check that both give the same numbers).
#ifdef TIDAL_BASELINE_ONLY
#define TIDAL_LANE_CLONES
#else
#define TIDAL_LANE_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#endif

namespace tidal::lanes {

inline constexpr int kWidth = 8;
using Vec = double __attribute__((vector_size(sizeof(double) * kWidth)));

[[gnu::always_inline]] inline Vec load(const double* p) {
    Vec v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

[[gnu::always_inline]] inline void store(double* p, Vec v) {
    __builtin_memcpy(p, &v, sizeof v);
}

} // namespace tidal::lanes
