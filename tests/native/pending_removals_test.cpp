// The setup takes its own files out of the work Windows keeps for its next
// restart, and nothing else: the registry's list of the NT family, WININIT.INI
// of Windows 9x.
#include <gtest/gtest.h>

#include <string>

#include "installer/pending_removals.h"

namespace {

using namespace std::string_literals;

// The setup's own files, by their long and short names.
const std::u16string ownFiles =
    u"C:\\WINDOWS\\skyvane.scr\0C:\\WINDOWS\\In3.sdd\0C:\\WINDOWS\\background2x.jpg\0C:\\WINDOWS\\BACKGR~1.JPG\0\0"s;

std::u16string kept(const std::u16string& list)
{
    std::u16string out(list.size() + 1, u'?');
    out.resize(withoutPendingDeletions(list.data(), list.size(), ownFiles.data(), out.data()));
    return out;
}

std::string kept(const std::string& text, const std::string& ownNames)
{
    std::string out(text.size(), '?');
    out.resize(wininitWithoutDeletions(text.data(), text.size(), ownNames.data(), out.data()));
    return out;
}

struct PendingCase {
    const char* what;
    std::u16string before;
    std::u16string after;
};

// Each row: the value as Windows keeps it, and as the setup leaves it.
const PendingCase pendingCases[] = {
    {"a list of the setup's deletions alone goes: an empty multi-string is no list",
     u"\\??\\C:\\WINDOWS\\In3.sdd\0\0\\??\\C:\\WINDOWS\\skyvane.scr\0\0\0"s, u""s},
    {"another program's deletions and renames stay, in their order",
     u"\\??\\C:\\other\\a.dll\0\0\\??\\C:\\WINDOWS\\In3.sdd\0\0\\??\\C:\\new.dll\0!\\??\\C:\\old.dll\0\0"s,
     u"\\??\\C:\\other\\a.dll\0\0\\??\\C:\\new.dll\0!\\??\\C:\\old.dll\0\0"s},
    {"a rename of one of the setup's files is no deletion: it stays",
     u"\\??\\C:\\WINDOWS\\In3.sdd\0\\??\\C:\\WINDOWS\\In3.old\0\0"s,
     u"\\??\\C:\\WINDOWS\\In3.sdd\0\\??\\C:\\WINDOWS\\In3.old\0\0"s},
    {"names compare without regard to case, and by the short name too",
     u"\\??\\c:\\windows\\SKYVANE.SCR\0\0\\??\\C:\\Windows\\backgr~1.jpg\0\0\\??\\C:\\x\0\0\0"s,
     u"\\??\\C:\\x\0\0\0"s},
    {"a name without the NT prefix, and a list without its closing NUL",
     u"C:\\WINDOWS\\In3.sdd\0\0\\??\\C:\\x\0\0"s, u"\\??\\C:\\x\0\0\0"s},
    {"a file that only begins like one of the setup's stays",
     u"\\??\\C:\\WINDOWS\\In3.sdd.bak\0\0\\??\\C:\\WINDOWS\\In3\0\0\0"s,
     u"\\??\\C:\\WINDOWS\\In3.sdd.bak\0\0\\??\\C:\\WINDOWS\\In3\0\0\0"s},
    {"a list that is not pairs is left as it was",
     u"\\??\\C:\\WINDOWS\\In3.sdd\0\0\\??\\C:\\x\0"s, u"\\??\\C:\\WINDOWS\\In3.sdd\0\0\\??\\C:\\x\0"s},
};

TEST(PendingRemovals, TheRegistryListLosesOnlyTheDeletionsOfTheSetupsFiles)
{
    for (const auto& row : pendingCases)
        EXPECT_EQ(kept(row.before), row.after) << row.what;
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
    EXPECT_EQ(kept(before, own), after);
    EXPECT_EQ(kept("", own), "");
}

}  // namespace
