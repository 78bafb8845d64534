// libjpeg-turbo is kept to MMX unless the system says it supports SSE.
#include <gtest/gtest.h>

#include <cstring>

#include "app/jpeg_simd_choice.h"

namespace {

TEST(JpegSimdLimit, OnlyASystemThatSupportsSseLeavesTheChoiceToTheLibrary)
{
    EXPECT_EQ(jpegSimdLimit(SseSupport::Present), nullptr);
    for (SseSupport support : {SseSupport::Unknown, SseSupport::Absent}) {
        const char* setting = jpegSimdLimit(support);
        ASSERT_NE(setting, nullptr) << static_cast<int>(support);
        // The library's own switch, with the only value it takes ("1").
        EXPECT_STREQ(setting, "JSIMD_FORCEMMX=1") << static_cast<int>(support);
    }
}

} // namespace
