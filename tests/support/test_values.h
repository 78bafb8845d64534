// Names and small helpers that the native and the Win32 tests share: the
// settings' registry values as a test expects them, byte strings, and the
// message of an expected exception. Pure.
#pragma once
#include <initializer_list>
#include <string>
#include <vector>

#include "settings/settings.h"

// The 14 registry values in the order the program writes them: the 11 plane
// types, then Delay, Random and Fake.
inline const std::vector<std::string> settingsWriteOrder{"F16", "F15", "Awac", "U2", "B52", "SR71", "Wing",
                                                         "F117", "B2", "F22", "Other", "Delay", "Random", "Fake"};
inline const std::vector<std::string> typeValueNames(settingsWriteOrder.begin(), settingsWriteOrder.begin() + 11);

// The 11 type flags of loaded settings, in the write order.
inline std::vector<bool> typeFlags(const SaverSettings& s)
{
    return {s.F16, s.F15, s.Awac, s.U2, s.B52, s.SR71, s.Wing, s.F117, s.B2, s.F22, s.Other};
}

// A byte string from byte values.
inline std::string bytes(std::initializer_list<int> values)
{
    std::string result;
    for (int value : values)
        result.push_back(static_cast<char>(value));
    return result;
}

// The message of the Error that action throws, or "(nothing thrown)".
template <class Error, class Action>
std::string messageOf(Action action)
{
    try {
        action();
    } catch (const Error& error) {
        return error.what();
    }
    return "(nothing thrown)";
}
