// The primitives the settings store needs from an open registry key, as an
// interface: RegistryKey (registry.h) implements it on the Win32 registry and
// the native tests implement it in memory. Pure: no <windows.h>.
#pragma once
#include <cstdint>
#include <string>

// What an open for reading found.
enum class KeyReading { Opened, Missing, Refused };

class KeyAccess {
public:
    virtual ~KeyAccess() = default;

    // True when the key at path (relative to the root) exists and can be read.
    virtual bool keyExists(const std::string& path) = 0;
    // Opens the key at path for reading and writing, creating it and any
    // missing key above it when canCreate is set. False, with no message, when
    // that fails. The operations below act on the key opened last.
    virtual bool openKey(const std::string& path, bool canCreate) = 0;
    // Opens the key at path for reading only, so a user who may not change it
    // still reads it. Creates nothing.
    virtual KeyReading openKeyForReading(const std::string& path) = 0;
    // True when the open key holds a value of that name, whatever its type.
    virtual bool valueExists(const std::string& name) = 0;
    // A 32-bit value. Throws ERegistryException "Failed to get data for '%s'"
    // when it cannot be read (missing, or longer than 4 bytes) and
    // "Invalid data type for '%s'" when it is not a REG_DWORD.
    virtual int32_t readInteger(const std::string& name) = 0;
    // Writes a REG_DWORD; throws ERegistryException "Failed to set data for '%s'".
    virtual void writeInteger(const std::string& name, int32_t value) = 0;
    // Releases the open key (no flush is asked for). Harmless when none is open.
    virtual void closeKey() = 0;

    // Booleans are stored as 1 and 0; any non-zero number reads as true.
    bool readBool(const std::string& name) { return readInteger(name) != 0; }
    void writeBool(const std::string& name, bool value) { writeInteger(name, value ? 1 : 0); }
};
