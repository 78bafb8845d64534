#pragma once
#include <string>
#include <string_view>

// The text of the standard error box: the message, with "." appended when its
// last character sorts after "." (so "...", ")" and "!" get nothing more).
std::string errorBoxText(std::string_view message);
