// Text to integer, as the dialog's label is read back when the settings are
// saved. Pure.
#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

// Accepts: leading blanks; an optional "+" or "-"; then decimal digits, or
// hexadecimal digits after "$" or "0x"/"0X". Nothing may follow the digits.
// Decimal must fit a signed 32-bit number; hexadecimal may use all 32 bits
// ("$FFFFFFFF" is -1). Anything else gives nullopt.
std::optional<int32_t> parseIntegerText(std::string_view text);

// parseIntegerText, or EConvertError "'%s' is not a valid integer value".
int32_t strToInt(std::string_view text);
