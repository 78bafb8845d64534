// Keeps libjpeg-turbo's SIMD code to what the running system supports (see
// app/jpeg_simd_choice.h). Call before the first JPEG is decoded.
#pragma once
#include <windows.h>

using ProcessorFeatureQuery = BOOL(WINAPI*)(DWORD feature);

// Asks IsProcessorFeaturePresent, looked up at run time (Windows 95 lacks it).
void limitJpegSimdToTheSystem();

// The same with the query given; nullptr is a system without it.
void limitJpegSimd(ProcessorFeatureQuery query);
