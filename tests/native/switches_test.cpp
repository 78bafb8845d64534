// The command line's first argument decides the mode; nothing else does. A
// start finds another saver by the running mark, also where it cannot be sure.
#include <gtest/gtest.h>

#include "app/running_mark_state.h"
#include "app/switches.h"
#include "framework/paths.h"

namespace {

TEST(RunningMarkState, OnlyAMarkMadeAfreshOrAnUnknownNameTellsThatNoneRuns)
{
    EXPECT_EQ(runningMarkState(true, 0, false, 0), RunningMarkState::Alone);
    EXPECT_EQ(runningMarkState(true, markMadeBefore, false, 0), RunningMarkState::AnotherRuns);
    // Another account's mark: refused, then opened for waiting.
    EXPECT_EQ(runningMarkState(false, markAccessDenied, true, 0), RunningMarkState::AnotherRuns);
    // Not even that may be opened, or the name is another kind of object.
    EXPECT_EQ(runningMarkState(false, markAccessDenied, false, markAccessDenied), RunningMarkState::AnotherRuns);
    EXPECT_EQ(runningMarkState(false, markOfAnotherKind, false, markOfAnotherKind), RunningMarkState::AnotherRuns);
    // The other saver ended between the two calls.
    EXPECT_EQ(runningMarkState(false, markAccessDenied, false, markNameUnknown), RunningMarkState::Gone);
    EXPECT_FALSE(markMayBeHeld(false, markNameUnknown));
    EXPECT_TRUE(markMayBeHeld(false, markOfAnotherKind));
}

TEST(ModeForSwitch, SaverOnlyForTheWholeSwitch)
{
    EXPECT_EQ(modeForSwitch("/s"), SaverMode::Saver);
    EXPECT_EQ(modeForSwitch("/S"), SaverMode::Saver);
    EXPECT_EQ(modeForSwitch("/SAVE"), SaverMode::None);
    EXPECT_EQ(modeForSwitch("/s:5"), SaverMode::None);
    EXPECT_EQ(modeForSwitch("-s"), SaverMode::None);
    EXPECT_EQ(modeForSwitch("S"), SaverMode::None);
}

TEST(ModeForSwitch, ConfigureByTextOrPrefix)
{
    for (const char* argument : {"/c", "/C", "/C:1234", "/config", "/Cx"})
        EXPECT_EQ(modeForSwitch(argument), SaverMode::Configure) << argument;
}

TEST(ModeForSwitch, PasswordChangeByTextOrPrefix)
{
    for (const char* argument : {"/a", "/A", "/A:777", "/a 12"})
        EXPECT_EQ(modeForSwitch(argument), SaverMode::ChangePassword) << argument;
}

TEST(ModeForSwitch, EverythingElseDoesNothing)
{
    for (const char* argument : {"/p", "/P", "/p:1234", "", "/", "c", "C:", "/b", " /s", "/ s", "//c"})
        EXPECT_EQ(modeForSwitch(argument), SaverMode::None) << '"' << argument << '"';
}

TEST(SwitchText, OnlyLettersAToZAreRaised)
{
    EXPECT_EQ(switchText("/config"), "/CONFIG");
    EXPECT_EQ(switchText("/s:5"), "/S:5");
    // Letters outside a-z stay as they are, so "/\xe7" is no "/C".
    EXPECT_EQ(switchText("/\xe7"), "/\xe7");
    EXPECT_EQ(modeForSwitch("/\xe7"), SaverMode::None);
    EXPECT_EQ(modeForSwitch("/\xc7"), SaverMode::None);
}

TEST(FirstArgument, NoArgumentsGiveNothing)
{
    EXPECT_FALSE(firstArgument(""));
    EXPECT_FALSE(firstArgument("skyvane.scr"));
    EXPECT_FALSE(firstArgument("\"C:\\Program Files\\skyvane.scr\"   "));
    EXPECT_FALSE(firstArgument("skyvane.scr\t\r\n"));
}

TEST(FirstArgument, OnlyTheFirstArgumentIsTaken)
{
    EXPECT_EQ(firstArgument("skyvane.scr /s"), "/s");
    EXPECT_EQ(firstArgument("skyvane.scr /p 1234"), "/p");
    EXPECT_EQ(firstArgument("skyvane.scr  /c:1234 /s"), "/c:1234");
    EXPECT_EQ(modeForSwitch(*firstArgument("skyvane.scr /x /s")), SaverMode::None);
}

TEST(FirstArgument, ControlCharactersSeparateLikeBlanks)
{
    // Windows' own parsers end the program's name at any character up to the
    // blank, and a launcher may put a tab or a line end there.
    const struct {
        const char* commandLine;
        const char* argument;
    } rows[] = {
        {"skyvane.scr\t/s", "/s"},
        {"skyvane.scr\r\n/c", "/c"},
        {"skyvane.scr\x01/a", "/a"},
        {"skyvane.scr\x1f/s", "/s"},
        {"\"C:\\WINDOWS\\SKYVANE.SCR\"\t/S", "/S"},
        {"\"C:\\Program Files\\skyvane.scr\"\t \t/c:1234", "/c:1234"},
        {"\tskyvane.scr\t/s\t/c", "/s"},
        {"skyvane.scr \"/s\t1\"", "/s\t1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(std::string(row.commandLine)));
        EXPECT_EQ(firstArgument(row.commandLine), row.argument);
    }
    EXPECT_EQ(modeForSwitch(*firstArgument("SKYVANE.SCR\t/S")), SaverMode::Saver);
}

TEST(FirstArgument, QuotesGroupAndAreRemoved)
{
    EXPECT_EQ(firstArgument("\"C:\\WINDOWS\\SKYVANE.SCR\" /S"), "/S");
    EXPECT_EQ(firstArgument("C:\\PROGRA~1\\SKYVANE.SCR \"/s\""), "/s");
    EXPECT_EQ(firstArgument("skyvane.scr \"/s 1\""), "/s 1");
    EXPECT_EQ(modeForSwitch(*firstArgument("skyvane.scr \"/s 1\"")), SaverMode::None);
    // An empty quoted argument is an argument, and not a switch.
    EXPECT_EQ(firstArgument("skyvane.scr \"\" /s"), "");
}

TEST(JoinPath, BackslashOnlyWhereNeeded)
{
    EXPECT_EQ(joinPath("C:\\WINDOWS\\SYSTEM", "MPR.DLL"), "C:\\WINDOWS\\SYSTEM\\MPR.DLL");
    EXPECT_EQ(joinPath("C:\\", "PASSWORD.CPL"), "C:\\PASSWORD.CPL");
    EXPECT_EQ(joinPath("", "MPR.DLL"), "MPR.DLL");
    // Only a backslash counts as the separator the provider path needs.
    EXPECT_EQ(joinPath("C:/WINDOWS/SYSTEM/", "MPR.DLL"), "C:/WINDOWS/SYSTEM/\\MPR.DLL");
    // A system library is never named bare: the loader would search the
    // current directory, which may be the user's temporary directory.
    EXPECT_EQ(systemLibraryPath("C:\\WINDOWS\\SYSTEM", "PASSWORD.CPL"), "C:\\WINDOWS\\SYSTEM\\PASSWORD.CPL");
    EXPECT_EQ(systemLibraryPath("", "MPR.DLL"), "");
}

TEST(PathParts, DirectoryAndExtension)
{
    EXPECT_EQ(directoryOf("C:\\WINDOWS\\screen.bmp"), "C:\\WINDOWS");
    EXPECT_EQ(directoryOf("C:\\screen.bmp"), "C:\\");
    EXPECT_EQ(directoryOf("screen.bmp"), "");
    EXPECT_EQ(directoryOf("\\screen.bmp"), "\\");
    EXPECT_EQ(lowerCaseExtension("C:\\WINDOWS\\SCREEN.BMP"), ".bmp");
    EXPECT_EQ(lowerCaseExtension("In1w.JpG"), ".jpg");
    EXPECT_EQ(lowerCaseExtension("C:\\my.folder\\screen"), "");
    EXPECT_EQ(lowerCaseExtension("archive.tar.JPG"), ".jpg");
    EXPECT_EQ(lowerCaseExtension("noextension"), "");
}

} // namespace
