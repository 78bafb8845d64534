#include "app/jpeg_simd_choice.h"

const char* jpegSimdLimit(SseSupport support)
{
    // libjpeg-turbo reads this once, at its first use, with getenv; it keeps
    // the MMX code only where CPUID reports MMX, and none below it.
    return support == SseSupport::Present ? nullptr : "JSIMD_FORCEMMX=1";
}
