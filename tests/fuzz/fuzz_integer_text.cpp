// Any text read back as the delay: strToInt fails exactly when
// parseIntegerText gives nothing, a decimal text agrees with the C library's
// reading of it, and every value read comes back from its own decimal and
// "$" hexadecimal spelling; nothing may follow the digits.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "framework/exceptions.h"
#include "settings/integer_text.h"

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// The value of blanks, a sign and decimal digits only, by std::from_chars;
// nullopt for any other text or one outside the signed 32-bit range.
std::optional<int32_t> plainDecimal(std::string_view text)
{
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos)
        return std::nullopt;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-')
        negative = text[i++] == '-';
    const std::string_view digits = text.substr(i);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const std::string signedDigits = (negative ? "-" : "") + std::string(digits);
    int32_t value = 0;
    const auto [end, error] = std::from_chars(signedDigits.data(), signedDigits.data() + signedDigits.size(), value);
    if (error != std::errc() || end != signedDigits.data() + signedDigits.size())
        return std::nullopt;
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<int32_t> value = parseIntegerText(text);

    bool refused = false;
    try {
        const int32_t read = strToInt(text);
        require(value && read == *value);
    } catch (const EConvertError& error) {
        refused = true;
        // what() is a C string: a text with a NUL in it ends there.
        const std::string message = "'" + std::string(text) + "' is not a valid integer value";
        require(std::string(error.what()) == message.c_str());
    }
    require(refused == !value);

    if (text.find_first_not_of(" +-0123456789") == std::string_view::npos)
        require(value == plainDecimal(text));
    require(!parseIntegerText(std::string(text) + "g"));

    if (value) {
        require(parseIntegerText(std::to_string(*value)) == value);
        char hexadecimal[16];
        std::snprintf(hexadecimal, sizeof hexadecimal, "$%X", static_cast<unsigned>(*value));
        require(parseIntegerText(hexadecimal) == value);
    }
    return 0;
}
