// The error box's text: a full stop is added only after a character that
// sorts after "." (letters, digits, most punctuation), never twice.
#include <gtest/gtest.h>

#include "framework/error_text.h"
#include "framework/exceptions.h"
#include "imaging/image_errors.h"

namespace {

TEST(ErrorBoxText, FullStopAfterLettersAndDigits)
{
    EXPECT_EQ(errorBoxText("Cannot open file C:\\WINDOWS\\screen.jpg"),
              "Cannot open file C:\\WINDOWS\\screen.jpg.");
    EXPECT_EQ(errorBoxText("JPEG error #42"), "JPEG error #42.");
    EXPECT_EQ(errorBoxText("path/"), "path/.");   // "/" is 47, just after "."
    EXPECT_EQ(errorBoxText("Bitmap image is not valid"), "Bitmap image is not valid.");
}

TEST(ErrorBoxText, NothingAfterCharactersUpToTheFullStop)
{
    EXPECT_EQ(errorBoxText("Done."), "Done.");
    EXPECT_EQ(errorBoxText("Unknown picture file extension (.gif)"),
              "Unknown picture file extension (.gif)");
    EXPECT_EQ(errorBoxText("Stop!"), "Stop!");
    // The registry's messages end in a quote (39), which sorts before ".".
    EXPECT_EQ(errorBoxText("Failed to get data for 'Delay'"), "Failed to get data for 'Delay'");
    EXPECT_EQ(errorBoxText("a-"), "a-");   // "-" is 45
    EXPECT_EQ(errorBoxText("trailing space "), "trailing space ");
    EXPECT_EQ(errorBoxText(""), "");
}

TEST(ErrorBoxText, BytesAboveAsciiSortAfterTheFullStop)
{
    // Windows-1252 text: "\xe9" (e acute) ends a word like a letter does.
    EXPECT_EQ(errorBoxText("caf\xe9"), "caf\xe9.");
}

TEST(ErrorBoxText, TheProgramsOwnMessagesAsShown)
{
    EXPECT_EQ(errorBoxText(EFOpenError("C:\\WINDOWS\\screen.jpg").what()),
              "Cannot open file C:\\WINDOWS\\screen.jpg.");
    EXPECT_EQ(errorBoxText(EFCreateError("C:\\WINDOWS\\screen.bmp").what()),
              "Cannot create file C:\\WINDOWS\\screen.bmp.");
    EXPECT_EQ(errorBoxText(EJpegError(53).what()), "JPEG error #53.");
    EXPECT_EQ(errorBoxText(EReadError().what()), "Stream read error.");
    EXPECT_EQ(errorBoxText(EInOutError(2).what()), "File not found.");
    EXPECT_EQ(errorBoxText(EInOutError(103).what()), "I/O error 103.");
}

} // namespace
