// SkyvaneSetup.dll, the setup's own NSIS plug-in, ANSI as the setup is, with
// no C or C++ run time (MinGW's would bring wide-character imports).
//
//   Push ""  Push PATH ...  SkyvaneSetup::KeepInstalledFiles
//     takes the deletions of the files PATH (up to the "") out of the work
//     Windows keeps for its next restart, by their long and short names; pushes
//     1 when it took any out, else 0. The NT family keeps that work in the
//     registry, Windows 9x in WININIT.INI: both are looked at.
//
// The registry's list holds other programs' paths, which an ANSI call would
// turn into the system code page and back: it is read and written through the
// wide functions, looked up at run time (Windows 9x, which keeps no such
// list, exports them as stubs that fail).
#include <windows.h>

#include "installer/pending_removals.h"

namespace {

// NSIS's stack of strings, each entry GlobalAlloc'ed with room for string_size characters.
struct NsisStackEntry {
    NsisStackEntry* next;
    char text[1];
};

void pushString(NsisStackEntry** top, int stringSize, const char* text)
{
    auto* entry = static_cast<NsisStackEntry*>(GlobalAlloc(GPTR, sizeof(NsisStackEntry) + stringSize));
    if (!entry)
        return;
    lstrcpynA(entry->text, text, stringSize);
    entry->next = *top;
    *top = entry;
}

template <typename T>
T* allocated(size_t count)
{
    return static_cast<T*>(GlobalAlloc(GPTR, count * sizeof(T)));
}

// The paths on the stack up to the "", each by its long name as given and by
// its short name, which Windows 9x writes: NUL-ended, the list closed by one
// more NUL. Null when out of memory.
char* popOwnNames(NsisStackEntry** top)
{
    size_t room = 1;
    for (NsisStackEntry* entry = *top; entry && entry->text[0]; entry = entry->next)
        room += 2 * (lstrlenA(entry->text) + MAX_PATH + 1);
    char* names = allocated<char>(room);
    char* end = names;
    while (*top && (*top)->text[0]) {
        NsisStackEntry* entry = *top;
        if (names) {
            lstrcpyA(end, entry->text);
            end += lstrlenA(end) + 1;
            DWORD length = GetShortPathNameA(entry->text, end, MAX_PATH);
            if (length > 0 && length < MAX_PATH)
                end += length + 1;
        }
        *top = entry->next;
        GlobalFree(entry);
    }
    if (*top) {   // the ""
        NsisStackEntry* marker = *top;
        *top = marker->next;
        GlobalFree(marker);
    }
    if (names)
        *end = '\0';
    return names;
}

size_t multiStringLength(const char* names)
{
    const char* end = names;
    while (*end)
        end += lstrlenA(end) + 1;
    return size_t(end - names) + 1;
}

using RegQueryValueExWFunction = LONG(WINAPI*)(HKEY, const wchar_t*, DWORD*, DWORD*, BYTE*, DWORD*);
using RegSetValueExWFunction = LONG(WINAPI*)(HKEY, const wchar_t*, DWORD, DWORD, const BYTE*, DWORD);

template <typename Function>
Function advapiFunction(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("advapi32.dll"), name)));
}

const wchar_t pendingValue[] = L"PendingFileRenameOperations";

// The list without the deletions of ownNames written back, or the value
// deleted when nothing is left in it. True when it changed.
bool keepInRegistryKey(HKEY key, const char* ownNames)
{
    auto query = advapiFunction<RegQueryValueExWFunction>("RegQueryValueExW");
    auto set = advapiFunction<RegSetValueExWFunction>("RegSetValueExW");
    DWORD type = 0, size = 0;
    if (!query || !set || query(key, pendingValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_MULTI_SZ)
        return false;
    size_t namesLength = multiStringLength(ownNames);
    size_t room = size / sizeof(char16_t) + 1;
    auto* list = allocated<char16_t>(room);
    auto* kept = allocated<char16_t>(room + 1);
    auto* wideNames = allocated<char16_t>(namesLength);
    bool changed = false;
    if (list && kept && wideNames &&
        MultiByteToWideChar(CP_ACP, 0, ownNames, int(namesLength), reinterpret_cast<wchar_t*>(wideNames),
                            int(namesLength)) == int(namesLength) &&
        query(key, pendingValue, nullptr, &type, reinterpret_cast<BYTE*>(list), &size) == ERROR_SUCCESS &&
        type == REG_MULTI_SZ) {
        size_t length = size / sizeof(char16_t);
        size_t keptLength = withoutPendingDeletions(list, length, wideNames, kept);
        if (keptLength == 0)
            changed = RegDeleteValueA(key, "PendingFileRenameOperations") == ERROR_SUCCESS;
        else if (keptLength != length)
            changed = set(key, pendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept),
                          DWORD(keptLength * sizeof(char16_t))) == ERROR_SUCCESS;
    }
    GlobalFree(wideNames);
    GlobalFree(kept);
    GlobalFree(list);
    return changed;
}

bool keepInRegistry(const char* ownNames)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    bool changed = keepInRegistryKey(key, ownNames);
    RegCloseKey(key);
    return changed;
}

bool writeWhole(const char* path, const char* text, DWORD size)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool whole = WriteFile(file, text, size, &written, nullptr) && written == size;
    CloseHandle(file);
    return whole;
}

bool keepInWininit(const char* ownNames)
{
    char path[MAX_PATH + 16];
    UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    lstrcatA(path, path[length - 1] == '\\' ? "WININIT.INI" : "\\WININIT.INI");
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = GetFileSize(file, nullptr), read = 0;
    char* text = size != INVALID_FILE_SIZE ? allocated<char>(size + 1) : nullptr;
    char* kept = text ? allocated<char>(size + 1) : nullptr;
    bool whole = kept && ReadFile(file, text, size, &read, nullptr) && read == size;
    CloseHandle(file);
    bool changed = false;
    if (whole) {
        size_t keptLength = wininitWithoutDeletions(text, size, ownNames, kept);
        changed = keptLength != size && writeWhole(path, kept, DWORD(keptLength));
    }
    GlobalFree(kept);
    GlobalFree(text);
    return changed;
}

}  // namespace

extern "C" __declspec(dllexport) void __cdecl KeepInstalledFiles(HWND, int stringSize, char*,
                                                                 NsisStackEntry** stackTop, void*)
{
    char* ownNames = popOwnNames(stackTop);
    bool changed = false;
    if (ownNames) {
        changed = keepInRegistry(ownNames);
        changed = keepInWininit(ownNames) || changed;
        GlobalFree(ownNames);
    }
    pushString(stackTop, stringSize, changed ? "1" : "0");
}

// No run time to start: the entry point only says yes.
extern "C" BOOL WINAPI SkyvaneSetupEntry(HINSTANCE, DWORD, void*)
{
    return TRUE;
}
