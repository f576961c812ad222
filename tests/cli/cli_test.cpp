#include <cstdint>
#include <fstream>
#include <sstream>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "host/cli/png_io.h"
#include "tests/cli/cli_fixture.h"

namespace velk::test {
namespace {

using png::Chunk;
using png::Compressed;
using png::File;
using png::Header;
using png::ImageData;
using png::kEnd;

TEST(Cli, HelpSaysHowSixteenBitResultsAreWrittenAndTheLargestPicture) {
  const CliRun run = RunCommandLine({"render", "--help"});
  EXPECT_EQ(run.status, host::kExitOk);
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("usage: velk-host render"), std::string::npos);
  EXPECT_NE(run.out.find("A 16-bit render is written as an 8-bit PNG"),
            std::string::npos);
  EXPECT_NE(run.out.find("The largest picture it takes has " +
                         std::to_string(host::kMaxPixels) + " pixels"),
            std::string::npos);
}

// A stream that takes nothing, as a full disk does.
class FullBuffer : public std::streambuf {
  int overflow(int) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST(Cli, HelpThatCannotBeWrittenIsAFailure) {
  FullBuffer full;
  std::ostream out(&full);
  std::ostringstream err;
  EXPECT_EQ(host::RunCli({"--help"}, out, err), host::kExitFailed);
  EXPECT_EQ(err.str().rfind("velk-host: error: cannot write to standard "
                            "output: ",
                            0),
            0u)
      << err.str();
}

// The pixels of a 1x1 grey picture of 8 bits, filter byte first.
const std::string kOneGrey("\0\x07", 2);

// Failures that come before the effect runs: one line on the error stream,
// the exit status, no output file.
TEST(Cli, BadInputGetsOneLineNamingTheProblem) {
  const std::string sample = SamplePath("gradient-rgb8.png");
  const std::string text = ScratchPath("text.png");
  std::ofstream(text) << "plain text\n";
  const std::string missing = ScratchPath("missing.png");
  const std::string output = ScratchPath("out.png");
  std::remove(output.c_str());  // left by an earlier run that failed
  const std::string grey = Header(1, 1, 8, 0);
  const std::string stream = Compressed(kOneGrey);
  const std::string greyFile = File({grey, ImageData(kOneGrey), kEnd});
  const std::string palette = Header(1, 1, 8, 3);
  const std::string onePaletteEntry = Chunk("PLTE", "\x10\x20\x30");
  const struct {
    std::vector<std::string> arguments;  // "IN" is the file below
    int status;
    std::string named;
    std::string file = "";  // bytes of IN
  } cases[] = {
      {{}, host::kExitBadUsage, "no command given"},
      {{"draw", sample, output}, host::kExitBadUsage, "command \"draw\""},
      {{"render"}, host::kExitBadUsage, "missing INPUT.png"},
      {{"render", "--bogus", sample, output}, host::kExitBadUsage, "--bogus"},
      {{"render", sample, output, "--downsample", "2/1"},
       host::kExitBadUsage,
       "\"2/1\""},
      {{"render", sample, output, "--threads", "many"},
       host::kExitBadUsage,
       "\"many\""},
      {{"render", sample, output, "Left"}, host::kExitBadUsage, "\"Left\""},
      // After "--", "--help" is a file like any other.
      {{"render", "--", missing, "--help"},
       host::kExitFailed,
       "cannot open " + missing},
      {{"render", missing, output},
       host::kExitFailed,
       "cannot open " + missing},
      {{"render", text, output},
       host::kExitFailed,
       "cannot read " + text + " as PNG: no PNG signature"},
      {{"render", sample, output, "--module", missing},
       host::kExitFailed,
       "cannot load " + missing},
      {{"render", sample, VELK_CLI_SCRATCH_DIR},
       host::kExitFailed,
       std::string("cannot write ") + VELK_CLI_SCRATCH_DIR +
           ": Is a directory"},
      // Arguments: one rule for numbers, each parameter once, the actual
      // limit of a point at the downsample factor.
      {{"render", sample, output, "Left=1e-320", "Left=2"},
       host::kExitBadUsage,
       "parameter \"Left\" given twice"},
      {{"render", sample, output, "Left= 10"},
       host::kExitBadUsage,
       "got \" 10\" (not a plain decimal number)"},
      {{"render", sample, output, "Type= 1"}, host::kExitBadUsage, "\" 1\""},
      {{"render", sample, output, "Width=0x10"},
       host::kExitBadUsage,
       "got \"0x10\" (not a plain decimal number)"},
      {{"render", sample, output, "Top=+1"},
       host::kExitBadUsage,
       "got \"+1\" (not a plain decimal number)"},
      {{"render", sample, output, "--downsample=1/4", "Center=131072,0"},
       host::kExitBadUsage,
       "x,y in layer pixels, each from -131072 to 131068 at this downsample "
       "factor, got \"131072,0\""},
      // Damaged PNG files: the fault named, never a picture.
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: palette index 170 past a palette of 1 entry",
       File({palette, onePaletteEntry, ImageData(std::string("\0\xAA", 2)),
             kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: bad checksum in IDAT",
       File({grey, Chunk("IDAT", stream, 1), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: bad checksum in IHDR",
       File({Chunk("IHDR", grey.substr(8, 13), 0x100), ImageData(kOneGrey),
             kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: bad checksum in tEXt",
       File({grey, Chunk("tEXt", "a", 0x80000000), ImageData(kOneGrey), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: no IEND chunk",
       File({grey, ImageData(kOneGrey)})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: file ends inside the IDAT chunk",
       File({grey, ImageData(kOneGrey).substr(0, 12)})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: file ends inside a chunk header",
       File({grey, ImageData(kOneGrey), kEnd.substr(0, 5)})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: data after the IEND chunk",
       File({greyFile.substr(8), "x"})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: corrupt compressed image data (",
       File({grey, Chunk("IDAT", "\x78\x9C\xFF\xFF\xFF\xFF"), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: corrupt compressed image data (incorrect data check)",
       File({grey, Chunk("IDAT", stream.substr(0, stream.size() - 1) + "\x01"),
             kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: too little image data (the compressed stream ends early",
       File({grey, Chunk("IDAT", stream.substr(0, stream.size() - 4)), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: too little image data (1 byte of 2)",
       File({grey, ImageData(std::string(1, '\0')), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: too much image data (more than 2 bytes",
       File({grey, ImageData(std::string(3, '\0')), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: data after the end of the compressed image data",
       File({grey, Chunk("IDAT", stream + "\x03"), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: data after the end of the compressed image data",
       File({grey, ImageData(kOneGrey), Chunk("IDAT", "\x03"), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: unknown filter type 5 in row 1",
       File({Header(1, 2, 8, 0), ImageData(std::string("\0\1\5\1", 4)), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: unknown filter type 9 in row 0 of interlace pass 7",
       File({Header(1, 2, 8, 0, 1), ImageData(std::string("\0\1\x09\1", 4)),
             kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: unknown critical chunk QUIT",
       File({grey, Chunk("QUIT", ""), ImageData(kOneGrey), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: a chunk type that is not 4 letters (bytes 73 68 65 49)",
       File({grey, Chunk("IDA1", ""), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: IDAT chunk length 4294967295 is over 2147483647",
       File({grey, png::BigEndian32(0xFFFFFFFF) + "IDAT"})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: the first chunk is IDAT, not IHDR",
       File({ImageData(kOneGrey), grey, kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: a second IHDR chunk",
       File({grey, grey, ImageData(kOneGrey), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: IHDR chunk of 12 bytes, not 13",
       File({Chunk("IHDR", grey.substr(8, 12)), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: IEND chunk of 1 byte, not 0",
       File({grey, ImageData(kOneGrey), Chunk("IEND", "x")})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: IHDR gives a size of 0x1",
       File({Header(0, 1, 8, 0), ImageData(""), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: IHDR gives a size of 1x2147483648",
       File({Header(1, 0x80000000, 8, 0), ImageData(""), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: IHDR gives bit depth 4, which colour type 2 does not allow",
       File({Header(1, 1, 4, 2), ImageData(kOneGrey), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: IHDR gives bit depth 3, which colour type 0",
       File({Header(1, 1, 3, 0), ImageData(kOneGrey), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: IHDR gives colour type 5, which is none of 0, 2, 3, 4, 6",
       File({Header(1, 1, 8, 5), ImageData(kOneGrey), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: IHDR gives compression method 1, not 0",
       File({Header(1, 1, 8, 0, 0, 1), ImageData(kOneGrey), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: IHDR gives filter method 1, not 0",
       File({Header(1, 1, 8, 0, 0, 0, 1), ImageData(kOneGrey), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: IHDR gives interlace method 2, not 0 or 1",
       File({Header(1, 1, 8, 0, 2), ImageData(kOneGrey), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: no PLTE chunk before IDAT in a palette PNG",
       File({palette, ImageData(kOneGrey), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: PLTE chunk in a greyscale PNG",
       File({grey, onePaletteEntry, ImageData(kOneGrey), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: PLTE chunk of 4 bytes, not 1 to 256 entries of 3 bytes",
       File({palette, Chunk("PLTE", "abcd"), ImageData(kOneGrey), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: PLTE of 3 entries for bit depth 1 (at most 2)",
       File({Header(1, 1, 1, 3), Chunk("PLTE", "abcdefghi"),
             ImageData(kOneGrey), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: a second PLTE chunk",
       File({palette, onePaletteEntry, onePaletteEntry, ImageData(kOneGrey),
             kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: PLTE chunk after IDAT",
       File({Header(1, 1, 8, 2), ImageData(kOneGrey), onePaletteEntry, kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: tRNS of 2 entries for a palette of 1 entry",
       File({palette, onePaletteEntry, Chunk("tRNS", "ab"), ImageData(kOneGrey),
             kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: tRNS chunk before PLTE",
       File({palette, Chunk("tRNS", "a"), onePaletteEntry, ImageData(kOneGrey),
             kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: tRNS chunk of 1 byte, not 2 for colour type 0",
       File({grey, Chunk("tRNS", "a"), ImageData(kOneGrey), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: tRNS chunk in a PNG with an alpha channel",
       File({Header(1, 1, 8, 6), Chunk("tRNS", "ab"), ImageData(kOneGrey),
             kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: IDAT chunks that are not consecutive",
       File({grey, Chunk("IDAT", stream.substr(0, 2)), Chunk("tEXt", "a"),
             Chunk("IDAT", stream.substr(2)), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: no IDAT chunk",
       File({grey, kEnd})},
      // Too large for the render: refused when the header is read, before
      // any decoding.
      {{"render", "IN", output},
       host::kExitFailed,
       "the picture is 8192x65535, 536862720 pixels; velk-host renders at "
       "most 250000000 pixels",
       File({Header(8192, 65535, 8, 6), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "the picture is 2147483647x2147483647, 4611686014132420609 pixels",
       File({Header(0x7FFFFFFF, 0x7FFFFFFF, 16, 6), kEnd})},
  };
  const std::string input = ScratchPath("in.png");
  for (auto [arguments, status, named, file] : cases) {
    SCOPED_TRACE(testing::PrintToString(arguments) + " " + named);
    if (!file.empty()) {
      WriteFileBytes(input, file);
      for (std::string& argument : arguments) {
        if (argument == "IN") argument = input;
      }
      named = "cannot read " + input +
              (named.rfind("as PNG", 0) == 0 ? " " : ": ") + named;
    }
    const CliRun run = RunCommandLine(arguments);
    EXPECT_EQ(run.status, status);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("velk-host: error: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(named), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_FALSE(FileExists(output));
  }
}

#if !defined(_WIN32)
mode_t ModeOf(const std::string& path) {
  struct stat information {};
  EXPECT_EQ(stat(path.c_str(), &information), 0) << path;
  return information.st_mode & 07777;
}

// The output replaces the file that a link names, keeping the link and the
// file's permissions; a new file gets those of an ordinary create.
TEST(Cli, OutputKeepsLinksAndPermissions) {
  const std::string sample = SamplePath("gradient-rgb8.png");
  const std::string target = ScratchPath("target.png");
  const std::string link = ScratchPath("link.png");
  const std::string fresh = ScratchPath("new.png");
  WriteFileBytes(target, "old");
  ASSERT_EQ(chmod(target.c_str(), 0604), 0);
  unlink(link.c_str());
  unlink(fresh.c_str());
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  const mode_t mask = umask(027);
  const CliRun toLink = RunCommandLine({"render", sample, link, "Left=4"});
  const CliRun toNew = RunCommandLine({"render", sample, fresh, "Left=4"});
  umask(mask);
  ASSERT_EQ(toLink.status, host::kExitOk) << toLink.err;
  ASSERT_EQ(toNew.status, host::kExitOk) << toNew.err;
  struct stat information {};
  ASSERT_EQ(lstat(link.c_str(), &information), 0);
  EXPECT_TRUE(S_ISLNK(information.st_mode));
  EXPECT_EQ(ModeOf(target), 0604u);
  EXPECT_EQ(ModeOf(fresh), 0640u);
  EXPECT_EQ(ReadFileBytes(target), ReadFileBytes(fresh));
  EXPECT_EQ(host::ReadPng(target).width, 256);
}
#endif

}  // namespace
}  // namespace velk::test
