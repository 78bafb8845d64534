// The program's limit reaches libjpeg-turbo: after it, a system without SSE
// (as Windows 95 and NT 4.0 are) gets no SSE or SSE2 code from the library.
// The library decides once per process, so this program holds one case.
#include <gtest/gtest.h>

#include "app/jpeg_simd.h"

extern "C" {
unsigned int jpeg_simd_cpu_support(void);
int jsimd_can_huff_encode_one_block(void);   // SSE2 only
int jsimd_can_idct_islow(void);              // MMX, SSE2 or AVX2
}

namespace {
constexpr unsigned int libraryMmx = 0x01;
constexpr unsigned int librarySse2 = 0x08;

TEST(JpegSimdLimit, ASystemWithoutTheFeatureQueryKeepsTheLibraryToMmx)
{
    const unsigned int processor = jpeg_simd_cpu_support();
    if (!(processor & librarySse2))
        GTEST_SKIP() << "the processor has no SSE2 (CPUID gives " << processor << ")";
    limitJpegSimd(nullptr);   // Windows 95's kernel32 has no IsProcessorFeaturePresent
    EXPECT_EQ(jsimd_can_huff_encode_one_block(), 0) << "the SSE2 Huffman encoder is still chosen";
    EXPECT_EQ(jsimd_can_idct_islow(), (processor & libraryMmx) ? 1 : 0) << "MMX should stay";
}

} // namespace
