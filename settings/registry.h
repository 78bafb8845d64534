// RegistryKey: the program's access to the Win32 registry, one key open at a
// time under a fixed root. Opens for reading ask for KEY_READ, opens for
// writing for KEY_ALL_ACCESS. Errors are ERegistryException with the value's
// name in the message.
//
//   RegistryKey key(HKEY_CURRENT_USER);
//   if (key.openKeyForReading("Control Panel\\desktop") == KeyReading::Opened)
//       usePassword = key.readInteger("ScreenSaveUsePassword") != 0;
//
// The open key is closed by closeKey, by the next openKey and by the destructor.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>

#include "framework/exceptions.h"
#include "settings/key_access.h"

class RegistryKey : public KeyAccess {
public:
    explicit RegistryKey(HKEY root);
    ~RegistryKey() override;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    HKEY root() const { return root_; }
    // The open key, or null.
    HKEY currentKey() const { return current_; }

    // Paths are relative to the root, without a leading backslash.
    // keyExists: RegOpenKeyExA with KEY_READ, closed again at once.
    bool keyExists(const std::string& path) override;
    // With canCreate: RegCreateKeyExA (REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS),
    // which also creates missing keys above it; without: RegOpenKeyExA.
    bool openKey(const std::string& path, bool canCreate) override;
    // RegOpenKeyExA with KEY_READ.
    KeyReading openKeyForReading(const std::string& path) override;
    bool valueExists(const std::string& name) override;
    int32_t readInteger(const std::string& name) override;
    void writeInteger(const std::string& name, int32_t value) override;
    void closeKey() override;

private:
    HKEY root_;
    HKEY current_ = nullptr;
};
