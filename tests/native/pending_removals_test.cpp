// The setup takes its own files out of the work Windows keeps for its next
// restart, and nothing else: the registry's list of the NT family, WININIT.INI
// of Windows 9x.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/pending_removals.h"

namespace {

using namespace std::string_literals;

// The setup's own files, by their long and short names.
const std::u16string ownFiles =
    u"C:\\WINDOWS\\skyvane.scr\0C:\\WINDOWS\\In3.sdd\0C:\\WINDOWS\\background2x.jpg\0C:\\WINDOWS\\BACKGR~1.JPG\0\0"s;

// Exactly the room the functions promise to need, so that ASan sees a
// character written past it.
std::u16string kept(const std::u16string& list, bool* removed)
{
    std::vector<char16_t> out(list.size() + 2, u'?');
    KeptWork work = withoutPendingDeletions(list.data(), list.size(), ownFiles.data(), out.data());
    *removed = work.removed;
    return {out.data(), work.length};
}

std::string kept(const std::string& text, const std::string& ownNames, bool* removed)
{
    std::vector<char> out(text.size() + 1);   // never empty
    KeptWork work = wininitWithoutDeletions(text.data(), text.size(), ownNames.data(), out.data());
    *removed = work.removed;
    return {out.data(), work.length};
}

struct PendingCase {
    const char* what;
    std::u16string before;
    std::u16string after;
    bool removed;   // only then is the value written back
};

// Each row: the value as Windows keeps it, and as the setup leaves it.
const PendingCase pendingCases[] = {
    {"a list of the setup's deletions alone goes: an empty multi-string is no list",
     u"\\??\\C:\\WINDOWS\\In3.sdd\0\0\\??\\C:\\WINDOWS\\skyvane.scr\0\0\0"s, u""s, true},
    {"another program's deletions and renames stay, in their order",
     u"\\??\\C:\\other\\a.dll\0\0\\??\\C:\\WINDOWS\\In3.sdd\0\0\\??\\C:\\new.dll\0!\\??\\C:\\old.dll\0\0"s,
     u"\\??\\C:\\other\\a.dll\0\0\\??\\C:\\new.dll\0!\\??\\C:\\old.dll\0\0"s, true},
    {"a rename of one of the setup's files is no deletion: it stays",
     u"\\??\\C:\\WINDOWS\\In3.sdd\0\\??\\C:\\WINDOWS\\In3.old\0\0"s,
     u"\\??\\C:\\WINDOWS\\In3.sdd\0\\??\\C:\\WINDOWS\\In3.old\0\0"s, false},
    {"names compare without regard to case, and by the short name too",
     u"\\??\\c:\\windows\\SKYVANE.SCR\0\0\\??\\C:\\Windows\\backgr~1.jpg\0\0\\??\\C:\\x\0\0\0"s,
     u"\\??\\C:\\x\0\0\0"s, true},
    {"a name without the NT prefix, and a list without its closing NUL",
     u"C:\\WINDOWS\\In3.sdd\0\0\\??\\C:\\x\0\0"s, u"\\??\\C:\\x\0\0\0"s, true},
    {"a file that only begins like one of the setup's stays",
     u"\\??\\C:\\WINDOWS\\In3.sdd.bak\0\0\\??\\C:\\WINDOWS\\In3\0\0\0"s,
     u"\\??\\C:\\WINDOWS\\In3.sdd.bak\0\0\\??\\C:\\WINDOWS\\In3\0\0\0"s, false},
    {"a list that is not pairs is left as it was",
     u"\\??\\C:\\WINDOWS\\In3.sdd\0\0\\??\\C:\\x\0"s, u"\\??\\C:\\WINDOWS\\In3.sdd\0\0\\??\\C:\\x\0"s, false},
    {"another program's rename lacking both its NULs: written whole in the room given, and no removal",
     u"\\??\\C:\\a\0\\??\\C:\\b"s, u"\\??\\C:\\a\0\\??\\C:\\b\0\0"s, false},
    {"an empty value is no removal", u""s, u""s, false},
};

TEST(PendingRemovals, TheRegistryListLosesOnlyTheDeletionsOfTheSetupsFiles)
{
    for (const auto& row : pendingCases) {
        bool removed = !row.removed;
        EXPECT_EQ(kept(row.before, &removed), row.after) << row.what;
        EXPECT_EQ(removed, row.removed) << row.what;
    }
}

TEST(PendingRemovals, WininitLosesOnlyTheDeletionsOfTheSetupsFilesInItsRenameSection)
{
    const std::string own = "C:\\WINDOWS\\In3.sdd\0C:\\WINDOWS\\BACKGR~1.JPG\0\0"s;
    // Windows 9x writes short names in capitals; other sections and other
    // programs' lines keep every byte, CR LF line ends included.
    const std::string before = "; restart work\r\n"
                               "[Other]\r\n"
                               "NUL=C:\\WINDOWS\\IN3.SDD\r\n"
                               "[rename]\r\n"
                               "NUL=C:\\WINDOWS\\IN3.SDD\r\n"
                               "C:\\WINDOWS\\NEW.DLL=C:\\WINDOWS\\IN3.SDD\r\n"
                               "NUL=C:\\WINDOWS\\OTHER.DLL\r\n"
                               "nul = c:\\windows\\backgr~1.jpg \r\n"
                               "[Rename2]\r\n"
                               "NUL=C:\\WINDOWS\\IN3.SDD\r\n"
                               " [ Rename ]\n"
                               "NUL=C:\\WINDOWS\\In3.sdd";
    const std::string after = "; restart work\r\n"
                              "[Other]\r\n"
                              "NUL=C:\\WINDOWS\\IN3.SDD\r\n"
                              "[rename]\r\n"
                              "C:\\WINDOWS\\NEW.DLL=C:\\WINDOWS\\IN3.SDD\r\n"
                              "NUL=C:\\WINDOWS\\OTHER.DLL\r\n"
                              "[Rename2]\r\n"
                              "NUL=C:\\WINDOWS\\IN3.SDD\r\n"
                              " [ Rename ]\n";
    bool removed = false;
    EXPECT_EQ(kept(before, own, &removed), after);
    EXPECT_TRUE(removed);
    // Another program's deletions alone: nothing to write back.
    const std::string others = "[rename]\r\nNUL=C:\\WINDOWS\\OTHER.DLL\r\n";
    EXPECT_EQ(kept(others, own, &removed), others);
    EXPECT_FALSE(removed);
    EXPECT_EQ(kept("", own, &removed), "");
    EXPECT_FALSE(removed);
}

}  // namespace
