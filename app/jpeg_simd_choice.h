// Which of libjpeg-turbo's SIMD code the program lets the library choose. Pure.
//
// The library picks its SSE and SSE2 code from CPUID alone. Windows 95 and
// NT 4.0 never switch SSE on (their task switch does not keep the SSE
// registers), so there those instructions fault, on every Pentium III or
// later. Only a system that says it supports SSE gets them; elsewhere the
// library keeps to MMX, whose registers are the FPU's and kept by every system.
#pragma once

enum class SseSupport {
    Unknown,   // the system has no way to say (Windows 95, early NT 4.0)
    Absent,    // the system says the processor or the system lacks it
    Present,
};

// The setting for the C runtime's environment (given to _putenv before the
// first decode) that keeps libjpeg-turbo to MMX, or nullptr when the library
// may choose for itself.
const char* jpegSimdLimit(SseSupport support);
