// The instruction levels at which the sample passes run, chosen at run time.
#pragma once

// The instructions the passes choose at run time beyond the build's baseline (SSE2 on x86), widest
// last. AVX-512 (its foundation and byte-and-word instructions) only on 64-bit builds.
enum class VectorLevel { Baseline, Ssse3, Avx2, Avx512 };

// The widest level this processor has.
VectorLevel ProcessorVectorLevel();

// The level the passes run at: the processor's, held to the limit below.
VectorLevel VectorLevelInUse();

// Keeps the passes at `level` or below, so that a test can hold each level to the scalar rule.
void LimitVectorLevel(VectorLevel level);
