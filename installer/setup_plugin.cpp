// SkyvaneSetup.dll, the setup's own NSIS plug-in, ANSI as the setup is, with
// no C or C++ run time (MinGW's would bring wide-character imports).
//
//   Push ""  Push PATH ...  SkyvaneSetup::KeepInstalledFiles
//     takes the deletions of the files PATH (up to the "") out of the work
//     Windows keeps for its next restart, by their long and short names; pushes
//     1 when it took any out, 0 when there was none to take out, and "error"
//     when that work could not be read or written back: the restart may then
//     delete installed files. The NT family keeps that work in the registry,
//     Windows 9x in WININIT.INI: both are looked at.
//
//   SkyvaneSetup::CopyRegistryText ROOT KEY VALUE ROOT KEY VALUE
//     copies a text value (REG_SZ, REG_EXPAND_SZ) to another value, made
//     where missing; pushes 1 when it copied one, 0 when there was none to
//     copy, "error" when it could not write it. ROOT is HKCU or HKU.
//   SkyvaneSetup::NamedFileExists ROOT KEY VALUE
//     pushes 1 when the text value names a file Windows finds (its
//     environment variables expanded, a bare name searched for as Windows
//     searches for a program), else 0.
//
//   Both for the NT family only: a screen saver chosen by a user is a path
//   that may hold letters outside the code page (a profile folder such as
//   Lukasz's with its stroked L), which the setup's ANSI calls would turn
//   into a look-alike's.
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

// The string on top of the stack, taken off it, into text (room for size);
// empty when the stack is.
void popString(NsisStackEntry** top, char* text, int size)
{
    text[0] = '\0';
    NsisStackEntry* entry = *top;
    if (!entry)
        return;
    lstrcpynA(text, entry->text, size);
    *top = entry->next;
    GlobalFree(entry);
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

// A function of a system library looked up at run time: the wide ones are
// stubs that fail on Windows 9x, and the setup may import none of them.
template <typename Function>
Function systemFunction(const char* module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(module), name)));
}

const wchar_t pendingValue[] = L"PendingFileRenameOperations";

// The names in the wide form the registry's list has, each converted on its
// own (a double-byte code page gives fewer characters than bytes); a name
// the code page cannot convert is left out, the others stay. Null when out
// of memory.
char16_t* wideNames(const char* ownNames)
{
    size_t room = multiStringLength(ownNames);   // at most one character a byte
    auto* names = allocated<char16_t>(room);
    if (!names)
        return nullptr;
    char16_t* end = names;
    for (const char* name = ownNames; *name; name += lstrlenA(name) + 1) {
        int converted = MultiByteToWideChar(CP_ACP, 0, name, -1, reinterpret_cast<wchar_t*>(end),
                                            int(room - size_t(end - names)));
        if (converted > 1)
            end += converted;   // its NUL included
    }
    *end = u'\0';
    return names;
}

// What became of the setup's files in one place of the restart's work.
enum class Kept { NoneThere, TakenOut, Failed };

Kept combined(Kept a, Kept b)
{
    return a == Kept::Failed || b == Kept::Failed ? Kept::Failed
         : a == Kept::TakenOut || b == Kept::TakenOut ? Kept::TakenOut
                                                        : Kept::NoneThere;
}

// The list without the deletions of ownNames written back, or the value
// deleted when nothing is left in it; untouched unless one of them was in it.
// A list that grows between its size and its reading is read again.
Kept keepInRegistryKey(HKEY key, const char* ownNames)
{
    auto query = systemFunction<RegQueryValueExWFunction>("advapi32.dll", "RegQueryValueExW");
    auto set = systemFunction<RegSetValueExWFunction>("advapi32.dll", "RegSetValueExW");
    if (!query || !set)
        return Kept::NoneThere;
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0, size = 0;
        LONG result = query(key, pendingValue, nullptr, &type, nullptr, &size);
        // Windows 9x, which keeps no such list, answers from a stub.
        if (result == ERROR_FILE_NOT_FOUND || result == ERROR_CALL_NOT_IMPLEMENTED)
            return Kept::NoneThere;
        if (result != ERROR_SUCCESS)
            return Kept::Failed;
        if (type != REG_MULTI_SZ)
            return Kept::NoneThere;
        size_t room = size / sizeof(char16_t) + 1;
        auto* list = allocated<char16_t>(room);
        auto* kept = allocated<char16_t>(room + 2);
        char16_t* names = wideNames(ownNames);
        Kept outcome = Kept::Failed;
        result = list && kept && names
                     ? query(key, pendingValue, nullptr, &type, reinterpret_cast<BYTE*>(list), &size)
                     : ERROR_NOT_ENOUGH_MEMORY;
        if (result == ERROR_FILE_NOT_FOUND) {
            outcome = Kept::NoneThere;
        } else if (result == ERROR_SUCCESS) {
            // An odd count of bytes is no list of wide strings: it is left alone.
            KeptWork work = type == REG_MULTI_SZ && size % sizeof(char16_t) == 0
                                ? withoutPendingDeletions(list, size / sizeof(char16_t), names, kept)
                                : KeptWork{0, false};
            if (!work.removed)
                outcome = Kept::NoneThere;
            else if (work.length == 0)
                outcome = RegDeleteValueA(key, "PendingFileRenameOperations") == ERROR_SUCCESS ? Kept::TakenOut
                                                                                                : Kept::Failed;
            else
                outcome = set(key, pendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept),
                              DWORD(work.length * sizeof(char16_t))) == ERROR_SUCCESS
                              ? Kept::TakenOut
                              : Kept::Failed;
        }
        GlobalFree(names);
        GlobalFree(kept);
        GlobalFree(list);
        if (result != ERROR_MORE_DATA)
            return outcome;
    }
    return Kept::Failed;
}

Kept keepInRegistry(const char* ownNames)
{
    HKEY key;
    LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                                KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
    if (opened == ERROR_FILE_NOT_FOUND)
        return Kept::NoneThere;
    if (opened != ERROR_SUCCESS)
        return Kept::Failed;
    Kept outcome = keepInRegistryKey(key, ownNames);
    RegCloseKey(key);
    return outcome;
}

// The shorter text written over the file from its start and the rest cut
// off: it needs no new room on the disk, so a full disk cannot cost other
// programs' lines.
bool writeOver(HANDLE file, const char* text, DWORD size)
{
    DWORD written = 0;
    return SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 && WriteFile(file, text, size, &written, nullptr) &&
           written == size && SetEndOfFile(file);
}

// A WININIT.INI held open by another program, or unreadable, is a failure:
// the setup cannot tell what it holds.
Kept keepInWininit(const char* ownNames)
{
    char path[MAX_PATH + 16];
    UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return Kept::Failed;
    lstrcatA(path, path[length - 1] == '\\' ? "WININIT.INI" : "\\WININIT.INI");
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? Kept::NoneThere : Kept::Failed;
    DWORD size = GetFileSize(file, nullptr), read = 0;
    char* text = size != INVALID_FILE_SIZE ? allocated<char>(size + 1) : nullptr;
    char* kept = text ? allocated<char>(size + 1) : nullptr;
    Kept outcome = Kept::Failed;
    if (kept && ReadFile(file, text, size, &read, nullptr) && read == size) {
        KeptWork work = wininitWithoutDeletions(text, size, ownNames, kept);
        outcome = !work.removed                                   ? Kept::NoneThere
                : writeOver(file, kept, DWORD(work.length))       ? Kept::TakenOut
                                                                  : Kept::Failed;
    }
    CloseHandle(file);
    GlobalFree(kept);
    GlobalFree(text);
    return outcome;
}

// A registry value named on the stack: ROOT KEY VALUE.
struct NamedValue {
    char root[8];
    char key[1024];
    char value[256];
};

NamedValue popNamedValue(NsisStackEntry** top)
{
    NamedValue named;
    popString(top, named.root, sizeof named.root);
    popString(top, named.key, sizeof named.key);
    popString(top, named.value, sizeof named.value);
    return named;
}

HKEY rootKey(const char* name)
{
    return lstrcmpiA(name, "HKU") == 0 ? HKEY_USERS : HKEY_CURRENT_USER;
}

// The value's name in the wide form the wide calls take; ASCII as the
// setup's own names are.
void wideName(const char* name, wchar_t (&wide)[256])
{
    if (MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 256) <= 0)
        wide[0] = L'\0';
}

// The text value, wide, into text (room for `room` characters, NUL-ended);
// its type in type. False when there is none, or it is no text.
bool readText(const NamedValue& named, wchar_t* text, DWORD room, DWORD& type)
{
    auto query = systemFunction<RegQueryValueExWFunction>("advapi32.dll", "RegQueryValueExW");
    HKEY key;
    if (!query || RegOpenKeyExA(rootKey(named.root), named.key, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    wchar_t name[256];
    wideName(named.value, name);
    DWORD size = (room - 1) * sizeof(wchar_t);
    bool read = query(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS &&
                (type == REG_SZ || type == REG_EXPAND_SZ);
    RegCloseKey(key);
    if (read)
        text[size / sizeof(wchar_t)] = L'\0';
    return read;
}

constexpr DWORD textRoom = 1024;

bool windowsNTFamily()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

size_t textLength(const wchar_t* text)
{
    size_t length = 0;
    while (text[length])
        ++length;
    return length;
}
}  // namespace

extern "C" __declspec(dllexport) void __cdecl CopyRegistryText(HWND, int stringSize, char*,
                                                               NsisStackEntry** stackTop, void*)
{
    const NamedValue from = popNamedValue(stackTop);
    const NamedValue to = popNamedValue(stackTop);
    wchar_t text[textRoom];
    DWORD type = 0;
    const char* outcome = "0";
    if (readText(from, text, textRoom, type)) {
        auto set = systemFunction<RegSetValueExWFunction>("advapi32.dll", "RegSetValueExW");
        HKEY key;
        wchar_t name[256];
        wideName(to.value, name);
        outcome = "error";
        if (set && RegCreateKeyExA(rootKey(to.root), to.key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
                       ERROR_SUCCESS) {
            if (set(key, name, 0, type, reinterpret_cast<const BYTE*>(text),
                    DWORD((textLength(text) + 1) * sizeof(wchar_t))) == ERROR_SUCCESS)
                outcome = "1";
            RegCloseKey(key);
        }
    }
    pushString(stackTop, stringSize, outcome);
}

extern "C" __declspec(dllexport) void __cdecl NamedFileExists(HWND, int stringSize, char*,
                                                              NsisStackEntry** stackTop, void*)
{
    const NamedValue named = popNamedValue(stackTop);
    using ExpandFunction = DWORD(WINAPI*)(const wchar_t*, wchar_t*, DWORD);
    using SearchFunction = DWORD(WINAPI*)(const wchar_t*, const wchar_t*, const wchar_t*, DWORD, wchar_t*, wchar_t**);
    auto expand = systemFunction<ExpandFunction>("kernel32.dll", "ExpandEnvironmentStringsW");
    auto search = systemFunction<SearchFunction>("kernel32.dll", "SearchPathW");
    wchar_t text[textRoom], expanded[textRoom], found[textRoom];
    DWORD type = 0;
    bool exists = false;
    if (expand && search && readText(named, text, textRoom, type)) {
        DWORD length = expand(text, expanded, textRoom);
        DWORD foundLength = length > 0 && length <= textRoom && expanded[0]
                                ? search(nullptr, expanded, nullptr, textRoom, found, nullptr)
                                : 0;
        exists = foundLength > 0 && foundLength < textRoom;
    }
    pushString(stackTop, stringSize, exists ? "1" : "0");
}

extern "C" __declspec(dllexport) void __cdecl KeepInstalledFiles(HWND, int stringSize, char*,
                                                                 NsisStackEntry** stackTop, void*)
{
    char* ownNames = popOwnNames(stackTop);
    Kept outcome = Kept::Failed;   // out of memory: nothing could be looked at
    if (ownNames) {
        // Only Windows 9x carries out WININIT.INI: on the NT family one that
        // cannot be read endangers nothing.
        Kept wininit = keepInWininit(ownNames);
        if (wininit == Kept::Failed && windowsNTFamily())
            wininit = Kept::NoneThere;
        outcome = combined(keepInRegistry(ownNames), wininit);
        GlobalFree(ownNames);
    }
    pushString(stackTop, stringSize, outcome == Kept::Failed ? "error" : outcome == Kept::TakenOut ? "1" : "0");
}

// No run time to start: the entry point only says yes.
extern "C" BOOL WINAPI SkyvaneSetupEntry(HINSTANCE, DWORD, void*)
{
    return TRUE;
}
