#include "app/jpeg_simd.h"

#include <cstdlib>

#include "app/jpeg_simd_choice.h"

void limitJpegSimd(ProcessorFeatureQuery query)
{
    constexpr DWORD sseFeature = 6;   // PF_XMMI_INSTRUCTIONS_AVAILABLE
    const SseSupport support = !query ? SseSupport::Unknown
                             : query(sseFeature) ? SseSupport::Present : SseSupport::Absent;
    // The C runtime's own environment, which the library's getenv reads;
    // SetEnvironmentVariable would not reach it.
    if (const char* setting = jpegSimdLimit(support))
        _putenv(setting);
}

void limitJpegSimdToTheSystem()
{
    limitJpegSimd(reinterpret_cast<ProcessorFeatureQuery>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsProcessorFeaturePresent"))));
}
