#include "settings/registry.h"

namespace {

std::string quoted(const std::string& format, const std::string& name)
{
    return format + " '" + name + "'";
}

}

RegistryKey::RegistryKey(HKEY root) : root_(root) {}

RegistryKey::~RegistryKey()
{
    closeKey();
}

bool RegistryKey::keyExists(const std::string& path)
{
    HKEY probe = nullptr;
    if (RegOpenKeyExA(root_, path.c_str(), 0, KEY_READ, &probe) != ERROR_SUCCESS)
        return false;
    RegCloseKey(probe);
    return true;
}

KeyReading RegistryKey::openKeyForReading(const std::string& path)
{
    closeKey();
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExA(root_, path.c_str(), 0, KEY_READ, &opened);
    if (result == ERROR_FILE_NOT_FOUND)
        return KeyReading::Missing;
    if (result != ERROR_SUCCESS)
        return KeyReading::Refused;
    current_ = opened;
    return KeyReading::Opened;
}

bool RegistryKey::openKey(const std::string& path, bool canCreate)
{
    closeKey();
    HKEY opened = nullptr;
    LONG result;
    if (canCreate) {
        result = RegCreateKeyExA(root_, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS, nullptr, &opened, nullptr);
    } else {
        result = RegOpenKeyExA(root_, path.c_str(), 0, KEY_ALL_ACCESS, &opened);
    }
    if (result != ERROR_SUCCESS)
        return false;
    current_ = opened;
    return true;
}

bool RegistryKey::valueExists(const std::string& name)
{
    DWORD type = 0, size = 0;
    return current_ &&
           RegQueryValueExA(current_, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
}

int32_t RegistryKey::readInteger(const std::string& name)
{
    DWORD type = REG_NONE;
    BYTE data[4] = {0, 0, 0, 0};
    DWORD size = sizeof data;
    // Fails for a missing value and for data longer than the 4-byte buffer.
    if (!current_ || RegQueryValueExA(current_, name.c_str(), nullptr, &type, data, &size) != ERROR_SUCCESS)
        throw ERegistryException(quoted("Failed to get data for", name));
    if (type != REG_DWORD)
        throw ERegistryException(quoted("Invalid data type for", name));
    const uint32_t bits = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                          static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
    return static_cast<int32_t>(bits);
}

void RegistryKey::writeInteger(const std::string& name, int32_t value)
{
    const DWORD data = static_cast<DWORD>(value);
    if (!current_ || RegSetValueExA(current_, name.c_str(), 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&data), sizeof data) != ERROR_SUCCESS)
        throw ERegistryException(quoted("Failed to set data for", name));
}

void RegistryKey::closeKey()
{
    if (current_) {
        RegCloseKey(current_);
        current_ = nullptr;
    }
}
