// The work Windows keeps for its next restart, as the setup must leave it:
// an uninstaller left there the deletion of each file that was held open, and
// Windows deletes by name, so a setup run before that restart would lose the
// very files it installs. The setup takes out exactly the deletions of its own
// files and keeps every other entry, another program's included. Pure, and
// free of the C++ library's run time: the setup's plug-in carries no runtime
// of its own (on Windows 9x it would bring wide-character calls).
//
// `ownNames` lists the setup's files, each path ended by a NUL and the list by
// one more; a path is compared without regard to the case of A-Z, and with or
// without the NT family's "\??\".
#pragma once
#include <cstddef>

// What the setup's restart work has after its own deletions went: the
// length written, and whether any deletion went. Nothing is to be written
// back unless one did: the list as it was may lack NULs or be no list.
struct KeptWork {
    size_t length;
    bool removed;
};

// PendingFileRenameOperations (the NT family), a REG_MULTI_SZ of `length`
// characters: pairs of a source ("\??\C:\path") and a target, an empty target
// for a deletion, each string ended by a NUL, the list by one more. Writes
// the list without the deletions of `ownNames`, the other pairs in their
// order, into `kept` (room for length + 2: a last string may lack its NUL and
// the list its closing one). A length of 0 with a removal means no pair is
// left, so that the value is to go. A list that is not pairs is written as it
// was, and nothing is removed from it.
KeptWork withoutPendingDeletions(const char16_t* list, size_t length, const char16_t* ownNames, char16_t* kept);

// WININIT.INI (Windows 9x), its whole text: the lines "NUL=path" of its
// [rename] section are deletions. Writes the text without the deletions of
// `ownNames` into `kept` (room for length); every other byte stays as it was.
KeptWork wininitWithoutDeletions(const char* text, size_t length, const char* ownNames, char* kept);
