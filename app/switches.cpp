#include "app/switches.h"

namespace {
bool isSeparator(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

// Reads one argument from position onwards and moves position past it.
std::string readArgument(std::string_view commandLine, std::size_t& position)
{
    std::string argument;
    bool quoted = false;
    while (position < commandLine.size() && (quoted || !isSeparator(commandLine[position]))) {
        const char c = commandLine[position++];
        if (c == '"')
            quoted = !quoted;
        else
            argument += c;
    }
    return argument;
}

void skipSeparators(std::string_view commandLine, std::size_t& position)
{
    while (position < commandLine.size() && isSeparator(commandLine[position]))
        ++position;
}
}

std::optional<std::string> firstArgument(std::string_view commandLine)
{
    std::size_t position = 0;
    skipSeparators(commandLine, position);
    readArgument(commandLine, position);   // the program's own name
    skipSeparators(commandLine, position);
    if (position >= commandLine.size())
        return std::nullopt;
    return readArgument(commandLine, position);
}

std::string switchText(std::string_view argument)
{
    std::string text(argument);
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

SaverMode modeForSwitch(std::string_view argument)
{
    const std::string text = switchText(argument);
    const std::string_view prefix = std::string_view(text).substr(0, 2);
    if (text == "/S")
        return SaverMode::Saver;
    if (prefix == "/C")
        return SaverMode::Configure;
    if (prefix == "/A")
        return SaverMode::ChangePassword;
    return SaverMode::None;
}
