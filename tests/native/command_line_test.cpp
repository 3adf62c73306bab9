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
    EXPECT_EQ(options.imageFileName, c.imageFileName) << "tail: [" << c.tail << "]";
    EXPECT_EQ(options.verify, c.verify) << "tail: [" << c.tail << "]";
}

INSTANTIATE_TEST_SUITE_P(
    ExampleTails, ParseCommandLineTest,
    ::testing::Values(
        TailCase{"", false, "MYFILE.BIN"},
        TailCase{"-r", true, "MYFILE.BIN"},
        TailCase{"/r", true, "MYFILE.BIN"},
        TailCase{"-f C:\\img.bin", false, "C:\\img.bin"},
        // The name runs to the end of the tail, and what it holds is no option.
        TailCase{"-f C:\\img.bin -r", false, "C:\\img.bin -r"},
        TailCase{"/f out.bin /r", false, "out.bin /r"},
        TailCase{"-r -f x.bin", true, "x.bin"},
        TailCase{"/r /f x.bin", true, "x.bin"},
        TailCase{"-v /f x.bin", false, "x.bin", true},
        TailCase{"-f sub/rescue.bin", false, "sub/rescue.bin"},
        TailCase{"/f C:/rescue/boot.img", false, "C:/rescue/boot.img"},
        // The first file option of either form is the one: the name may
        // hold forward slashes, and no flag is found inside it.
        TailCase{"-f a-r.bin /f b.bin", false, "a-r.bin /f b.bin"},
        TailCase{"-f C:/rescue/floppy.img", false, "C:/rescue/floppy.img"},
        TailCase{"-f D:/victor/floppy.img", false, "D:/victor/floppy.img", false},
        TailCase{"-r -f C:/floppy/x.img", true, "C:/floppy/x.img"},
        TailCase{"/r /f /home/fred/floppies/a.img", true, "/home/fred/floppies/a.img"},
        // Exactly one character after the option is skipped, whatever it is.
        TailCase{"-fC:\\img.bin", false, ":\\img.bin"},
        TailCase{"-f ", false, ""},
        TailCase{"/f a.bin -f b.bin", false, "a.bin -f b.bin"},
        TailCase{"-f a.bin /f b.bin", false, "a.bin /f b.bin"},
        TailCase{"-f D:\\my-records.bin", false, "D:\\my-records.bin"},
        // An option counts only where a word begins, and may run on into it.
        TailCase{"x-ry -f a.bin", false, "a.bin"},
        TailCase{"-r-v", true, "MYFILE.BIN", false},
        TailCase{"-r\t-v", true, "MYFILE.BIN", true},
        TailCase{"win98-rescue.img", false, "MYFILE.BIN"},
        TailCase{"-R", false, "MYFILE.BIN"},
        TailCase{"/F", false, "MYFILE.BIN"},
        // A blank between paired quotation marks begins no word; an option
        // may follow the mark that opens its word.
        TailCase{"\"backup -r.img\"", false, "MYFILE.BIN"},
        TailCase{"\"-r\"", true, "MYFILE.BIN"},
        TailCase{"a \"b -r\" -r", true, "MYFILE.BIN"},
        // A quoted name ends at its closing mark when only blanks follow it,
        // and at the end of the tail when no mark closes it.
        TailCase{"-f \"C:\\my image.bin\"", false, "C:\\my image.bin"},
        TailCase{"-f \"my image.bin\"  \t", false, "my image.bin"},
        TailCase{"-f \"my image.bin", false, "my image.bin"},
        TailCase{"-f \"\"", false, ""},
        // Anything else after the closing mark keeps the marks in the name,
        // which opens nothing: no option is dropped, no part of a name lost.
        TailCase{"-f \"backup.img\" -r", false, "\"backup.img\" -r"},
        TailCase{"-f \"a.bin\" -r /v", false, "\"a.bin\" -r /v"},
        TailCase{"-r -f \"x -v.bin\" y", true, "\"x -v.bin\" y"},
        TailCase{"-r -f \"sub\\disk\"1.img", true, "\"sub\\disk\"1.img"},
        TailCase{"-f \"a.bin\" \"b.bin\"", false, "\"a.bin\" \"b.bin\""},
        // A full path as the whole tail, as Windows passes a dropped file,
        // is the name, and nothing in it is an option.
        TailCase{"C:\\Users\\fred\\Downloads\\win98-rescue.img", false,
                 "C:\\Users\\fred\\Downloads\\win98-rescue.img"},
        TailCase{"D:\\images\\dos-floppy.img", false, "D:\\images\\dos-floppy.img"},
        TailCase{"\"C:\\My Images\\a-r -f.img\"", false, "C:\\My Images\\a-r -f.img"},
        TailCase{"c:/images/win98-rescue.img", false, "c:/images/win98-rescue.img"},
        TailCase{"\\\\server\\share\\x-r.img", false, "\\\\server\\share\\x-r.img"},
        TailCase{"\"\\\\server\\my share\\x-v.img\" ", false, "\\\\server\\my share\\x-v.img"},
        TailCase{"\"C:\\x.img\" -r", false, "\"C:\\x.img\" -r"},
        TailCase{" C:\\x-r.img", false, "C:\\x-r.img"},
        // A full path after options, as a shortcut, Send To or "Open with"
        // that carries an option passes a dropped file: only what stands
        // before it is searched for options.
        TailCase{"-v C:\\Downloads\\win98-rescue.img", false, "C:\\Downloads\\win98-rescue.img", true},
        TailCase{"-r \"C:\\My Images\\a.img\"", true, "C:\\My Images\\a.img"},
        TailCase{"-v \"C:\\My Images\\a.img\"", false, "C:\\My Images\\a.img", true},
        TailCase{"-r \\\\server\\share\\x-v.img", true, "\\\\server\\share\\x-v.img"},
        TailCase{"-v c:/a.img -r", false, "c:/a.img -r", true},
        // After a file option a full path is part of the name.
        TailCase{"-f a.bin C:\\b-r.img", false, "a.bin C:\\b-r.img"},
        // Not a full path: a name, searched for options as any word.
        TailCase{"a-r.img", false, "MYFILE.BIN"},
        TailCase{"C:x-r.img", false, "MYFILE.BIN"},
        TailCase{"1:\\x-r.img", false, "MYFILE.BIN"},
        TailCase{"-f\"a.bin\"", false, "a.bin\""},
        TailCase{"-f a.bin  ", false, "a.bin  "},
        // An option that ends the tail leaves an empty name, not a crash.
        TailCase{"-f", false, ""},
        TailCase{"-r -f", true, ""},
        TailCase{"/f", false, ""},
        TailCase{"-v", false, "MYFILE.BIN", true},
        TailCase{"/v", false, "MYFILE.BIN", true},
        TailCase{"-V", false, "MYFILE.BIN", false},
        TailCase{"-v -r", true, "MYFILE.BIN", true},
        TailCase{"-f a.bin -v", false, "a.bin -v", false}));

// A made-up double-byte code page: bytes 0x81 to 0x9F and 0xE0 to 0xFC lead.
bool ShiftJisLikeLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

TEST(ParseCommandLineDoubleByte, OptionTextInsideATrailByteIsNotAnOption)
{
    // A lead byte directly before a blank is taken as one character with it
    // (malformed text: Windows' trail bytes start at 40h), so no word begins
    // after it, and the "-r" there is no option.
    const std::string tail = "\x81 -r -f a.bin";
    EXPECT_FALSE(ParseCommandLine(tail.c_str(), ShiftJisLikeLeadByte).captureMode);
    EXPECT_TRUE(ParseCommandLine(tail.c_str()).captureMode) << "a single-byte code page sees the blank";
    EXPECT_EQ(ParseCommandLine(tail.c_str(), ShiftJisLikeLeadByte).imageFileName, "a.bin");
    // A name holding "-r" stays a name under either code page.
    EXPECT_FALSE(ParseCommandLine("-f \x82\xA0-r.bin", ShiftJisLikeLeadByte).captureMode);
    EXPECT_FALSE(ParseCommandLine("-f \x82\xA0-r.bin").captureMode);
    EXPECT_FALSE(ParseCommandLine("\x81-v", ShiftJisLikeLeadByte).verify);
    // A lead byte hides the mark after it, so the quotation stays open.
    EXPECT_FALSE(ParseCommandLine("\"\x81\" -r", ShiftJisLikeLeadByte).captureMode);
    EXPECT_TRUE(ParseCommandLine("\"\x81\" -r").captureMode);
    // A full-width space after the option is the one character skipped.
    EXPECT_EQ(ParseCommandLine("-f\x81\x40" "a.bin", ShiftJisLikeLeadByte).imageFileName, "a.bin");
    // Double-byte characters inside a quoted name; a lead byte directly
    // before a quotation mark hides it.
    EXPECT_EQ(ParseCommandLine("-f \"\x82\xA0 b.bin\" ", ShiftJisLikeLeadByte).imageFileName, "\x82\xA0 b.bin");
    EXPECT_EQ(ParseCommandLine("-f \"\x81\"b.bin\"", ShiftJisLikeLeadByte).imageFileName, "\x81\"b.bin");
    EXPECT_EQ(ParseCommandLine("-f \"\x81\"b.bin\"").imageFileName, "\"\x81\"b.bin\"");
}

TEST(ParseCommandLineDoubleByte, OptionAfterDoubleByteCharactersIsFound)
{
    const std::string tail = "\x82\xA0\x82\xA2 -f \x82\xA0.bin";
    const CommandLineOptions options = ParseCommandLine(tail.c_str(), ShiftJisLikeLeadByte);
    EXPECT_FALSE(options.captureMode);
    EXPECT_EQ(options.imageFileName, "\x82\xA0.bin");
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
