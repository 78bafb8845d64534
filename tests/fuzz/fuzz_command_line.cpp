// The command line as Windows hands it over, any bytes at all: the first
// argument is found without reading past the text, never keeps a quote, is
// found alike whether blanks or control characters separate, and the mode
// follows the switch rules.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/switches.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view commandLine(reinterpret_cast<const char*>(data), size);
    const auto argument = firstArgument(commandLine);
    // Without quotes, every character up to the blank separates as a blank does.
    if (commandLine.find('"') == std::string_view::npos) {
        std::string blanked(commandLine);
        for (char& c : blanked)
            if (static_cast<unsigned char>(c) <= ' ')
                c = ' ';
        if (firstArgument(blanked) != argument)
            std::abort();
    }
    if (!argument)
        return 0;
    if (argument->find('"') != std::string::npos || argument->size() > size)
        std::abort();

    const std::string text = switchText(*argument);
    if (text.size() != argument->size())
        std::abort();
    const std::string_view prefix = std::string_view(text).substr(0, 2);
    SaverMode expected = SaverMode::None;
    if (text == "/S")
        expected = SaverMode::Saver;
    else if (prefix == "/C")
        expected = SaverMode::Configure;
    else if (prefix == "/A")
        expected = SaverMode::ChangePassword;
    if (modeForSwitch(*argument) != expected)
        std::abort();
    return 0;
}
