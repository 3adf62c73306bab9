#include <gtest/gtest.h>

#include "run/command_line.h"

namespace {

struct TailCase {
    const char* tail;
    bool captureMode;
    const char* imageFileName;
    bool verify = false;
};

class ParseCommandLineTest : public ::testing::TestWithParam<TailCase> {};

TEST_P(ParseCommandLineTest, FindsModeAndImageFile)
{
    const TailCase& c = GetParam();
    const CommandLineOptions options = ParseCommandLine(c.tail);
    EXPECT_EQ(options.captureMode, c.captureMode) << "tail: [" << c.tail << "]";
    EXPECT_STREQ(options.imageFileName, c.imageFileName) << "tail: [" << c.tail << "]";
    EXPECT_EQ(options.verify, c.verify) << "tail: [" << c.tail << "]";
}

INSTANTIATE_TEST_SUITE_P(
    ExampleTails, ParseCommandLineTest,
    ::testing::Values(
        TailCase{"", false, "MYFILE.BIN"},
        TailCase{"-r", true, "MYFILE.BIN"},
        TailCase{"/r", true, "MYFILE.BIN"},
        TailCase{"-f C:\\img.bin", false, "C:\\img.bin"},
        // The name runs to the end of the tail, later options included.
        TailCase{"-f C:\\img.bin -r", true, "C:\\img.bin -r"},
        // Exactly one character after the option is skipped, whatever it is.
        TailCase{"-fC:\\img.bin", false, ":\\img.bin"},
        TailCase{"-f ", false, ""},
        TailCase{"/f a.bin -f b.bin", false, "a.bin -f b.bin"},
        // The slash form wins even when the dash form comes first.
        TailCase{"-f a.bin /f b.bin", false, "b.bin"},
        // No word boundaries: the "-r" inside the path asks for a capture.
        TailCase{"-f D:\\my-records.bin", true, "D:\\my-records.bin"},
        TailCase{"-R", false, "MYFILE.BIN"},
        TailCase{"/F", false, "MYFILE.BIN"},
        TailCase{"-f \"C:\\my image.bin\"", false, "\"C:\\my image.bin\""},
        TailCase{"-f a.bin  ", false, "a.bin  "},
        // An option that ends the tail leaves an empty name, not a crash.
        TailCase{"-f", false, ""},
        TailCase{"-r -f", true, ""},
        TailCase{"/f", false, ""},
        TailCase{"-v", false, "MYFILE.BIN", true},
        TailCase{"/v", false, "MYFILE.BIN", true},
        TailCase{"-V", false, "MYFILE.BIN", false},
        TailCase{"-v -r", true, "MYFILE.BIN", true},
        // Verify is found even inside the name, which keeps the "-v".
        TailCase{"-f a.bin -v", false, "a.bin -v", true}));

// A made-up double-byte code page: bytes 0x81 to 0x9F and 0xE0 to 0xFC lead.
bool ShiftJisLikeLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

TEST(ParseCommandLineDoubleByte, OptionTextInsideATrailByteIsNotAnOption)
{
    // 0x81 0x2D is one character whose trail byte is '-'; the 'r' after it
    // must not make a "-r".
    const std::string tail = "-f \x81-r.bin";
    EXPECT_FALSE(ParseCommandLine(tail.c_str(), ShiftJisLikeLeadByte).captureMode);
    EXPECT_TRUE(ParseCommandLine(tail.c_str()).captureMode) << "a single-byte code page sees the bytes";
    EXPECT_STREQ(ParseCommandLine(tail.c_str(), ShiftJisLikeLeadByte).imageFileName, "\x81-r.bin");
    EXPECT_FALSE(ParseCommandLine("\x81-v", ShiftJisLikeLeadByte).verify);
}

TEST(ParseCommandLineDoubleByte, OptionAfterDoubleByteCharactersIsFound)
{
    const std::string tail = "\x82\xA0\x82\xA2 -f \x82\xA0.bin";
    const CommandLineOptions options = ParseCommandLine(tail.c_str(), ShiftJisLikeLeadByte);
    EXPECT_FALSE(options.captureMode);
    EXPECT_STREQ(options.imageFileName, "\x82\xA0.bin");
}

TEST(ParseCommandLineDoubleByte, LeadByteAtTheEndDoesNotReadPastTheTail)
{
    const std::string tail = "-r\x81";
    EXPECT_TRUE(ParseCommandLine(tail.c_str(), ShiftJisLikeLeadByte).captureMode);
}

TEST(CommandLineTail, DropsTheProgramNameAndTheBlanksAfterIt)
{
    EXPECT_STREQ(CommandLineTail("startdisk.exe -r"), "-r");
    EXPECT_STREQ(CommandLineTail("startdisk.exe"), "");
    EXPECT_STREQ(CommandLineTail(""), "");
    EXPECT_STREQ(CommandLineTail("\"C:\\Program Files\\startdisk.exe\" -f a.bin "), "-f a.bin ");
    EXPECT_STREQ(CommandLineTail("\"C:\\x y\\startdisk.exe\"-r"), "-r");
    EXPECT_STREQ(CommandLineTail("startdisk.exe \t\x01 -r"), "-r");
    // A name without its closing quotation mark takes the whole line.
    EXPECT_STREQ(CommandLineTail("\"C:\\startdisk.exe -r"), "");
}

TEST(CommandLineTail, KeepsQuotationMarksAndTrailingBlanksOfTheTail)
{
    EXPECT_STREQ(CommandLineTail("sd.exe -f \"a b.bin\"  "), "-f \"a b.bin\"  ");
}

}  // namespace
