#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>

#if defined(_WIN32)
#include <windows.h>

#include "host/wide_text.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#endif

#include "tests/cli/cli_fixture.h"
#include "tests/cli/program_run.h"

namespace velk::test {
namespace {

using png::Chunk;
using png::Compressed;
using png::File;
using png::Header;
using png::ImageData;
using png::kEnd;

TEST(Cli, HelpSaysTheLargestPicture) {
  for (const char* help : {"--help", "-h"}) {
    SCOPED_TRACE(help);
    const CliRun run = RunCommandLine({"render", help});
    EXPECT_EQ(run.status, host::kExitOk);
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find("usage: velk-host render"), std::string::npos);
    EXPECT_NE(run.out.find("The largest picture it takes has " +
                           std::to_string(host::kMaxPixels) + " pixels"),
              std::string::npos);
  }
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

// `height` rows of `width` bytes that do not compress, each with filter
// type 0 but the first, which has `firstFilter`.
std::string NoiseRows(int width, int height, char firstFilter) {
  std::string rows;
  std::uint32_t state = 1;
  for (int y = 0; y < height; ++y) {
    rows += y == 0 ? firstFilter : '\0';
    for (int x = 0; x < width; ++x) {
      state = state * 1103515245u + 12345u;
      rows += static_cast<char>(state >> 23);
    }
  }
  return rows;
}

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
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: no PNG signature at the start",
       File({grey, ImageData(kOneGrey), kEnd}).replace(7, 1, "\r")},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: the first chunk is tEXt, not IHDR",
       File({Chunk("tEXt", "a"), grey, ImageData(kOneGrey), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: tRNS chunk after IDAT",
       File({grey, ImageData(kOneGrey), Chunk("tRNS", std::string(2, '\0')),
             kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: PLTE chunk after tRNS",
       File({Header(1, 1, 8, 2), Chunk("tRNS", std::string(6, '\0')),
             onePaletteEntry, ImageData(std::string(4, '\0')), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: PLTE chunk in a greyscale PNG",
       File({Header(1, 1, 8, 4), onePaletteEntry,
             ImageData(std::string(3, '\0')), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: IHDR gives bit depth 4, which colour type 4 does not allow",
       File({Header(1, 1, 4, 4), ImageData(kOneGrey), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: tRNS chunk of 2 bytes, not 6 for colour type 2",
       File({Header(1, 1, 8, 2), Chunk("tRNS", std::string(2, '\0')),
             ImageData(std::string(4, '\0')), kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: PLTE chunk of 771 bytes, not 1 to 256 entries of 3 bytes",
       File({palette, Chunk("PLTE", std::string(771, 'p')), ImageData(kOneGrey),
             kEnd})},
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: palette index 2 past a palette of 2 entries",
       File({Header(4, 1, 2, 3), Chunk("PLTE", "abcdef"),
             ImageData(std::string("\0\x18", 2)), kEnd})},
      // A fault early in an IDAT chunk that the reader takes in pieces.
      {{"render", "IN", output},
       host::kExitFailed,
       "as PNG: unknown filter type 5 in row 0",
       File({Header(300, 300, 8, 0), ImageData(NoiseRows(300, 300, 5)), kEnd})},
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

#if defined(_WIN32)
std::wstring Wide(const std::string& path) { return host::WideFromUtf8(path); }

// A drive-relative OUT ("C:name.png") is in that drive's current folder, and
// so is its temporary file, wherever the process's current folder is: here
// on another file system (/dev/shm, a tmpfs), where a temporary file could
// not be renamed to drive C.
TEST(Cli, DriveRelativeOutputIsInThatDrivesCurrentFolder) {
  const std::wstring shm = L"Z:\\dev\\shm";
  const std::wstring driveC = L"C:\\windows\\temp";
  wchar_t saved[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, saved), 0u);
  if (!SetCurrentDirectoryW(shm.c_str())) {
    GTEST_SKIP() << "no folder " << host::Utf8FromWide(shm);
  }
  ASSERT_TRUE(SetEnvironmentVariableW(L"=C:", driveC.c_str()));
  const std::wstring written = driveC + L"\\velk-drive-relative.png";
  DeleteFileW(written.c_str());
  const CliRun run = RunCommandLine({"render", SamplePath("gradient-rgb8.png"),
                                     "C:velk-drive-relative.png", "Left=4"});
  SetEnvironmentVariableW(L"=C:", nullptr);
  SetCurrentDirectoryW(saved);
  EXPECT_EQ(run.status, host::kExitOk) << run.err;
  const std::string path = host::Utf8FromWide(written);
  EXPECT_EQ(ReadPng(path).width, 256);
  DeleteFileW(written.c_str());
}

// A read-only OUT is refused before the render and left as it was; a
// hidden one is replaced and stays hidden.
TEST(Cli, ReadOnlyOutputIsRefusedAndAHiddenOneStaysHidden) {
  const std::string output = ScratchPath("attributes.png");
  const struct {
    DWORD attribute;
    int status;
    const char* said;
  } cases[] = {
      {FILE_ATTRIBUTE_READONLY, host::kExitFailed,
       "velk-host: error: cannot write "},
      {FILE_ATTRIBUTE_HIDDEN, host::kExitOk, "wrote "},
  };
  for (const auto& [attribute, status, said] : cases) {
    SCOPED_TRACE(attribute);
    SetFileAttributesW(Wide(output).c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteFileBytes(output, "old");
    ASSERT_TRUE(SetFileAttributesW(Wide(output).c_str(), attribute));
    const CliRun run = RunCommandLine(
        {"render", SamplePath("gradient-rgb8.png"), output, "Left=4"});
    EXPECT_EQ(run.status, status) << run.err;
    EXPECT_EQ(run.err.rfind(said + output, 0), 0u) << run.err;
    if (status != host::kExitOk) {
      EXPECT_NE(run.err.find(": Permission denied"), std::string::npos);
      EXPECT_EQ(ReadFileBytes(output), "old");
    }
    EXPECT_NE(GetFileAttributesW(Wide(output).c_str()) & attribute, 0u);
  }
  SetFileAttributesW(Wide(output).c_str(), FILE_ATTRIBUTE_NORMAL);
}
#else
struct stat StatOf(const std::string& path) {
  struct stat information {};
  EXPECT_EQ(stat(path.c_str(), &information), 0) << path;
  return information;
}

mode_t ModeOf(const std::string& path) { return StatOf(path).st_mode & 07777; }

bool IsLink(const std::string& path) {
  struct stat information {};
  return lstat(path.c_str(), &information) == 0 && S_ISLNK(information.st_mode);
}

// The sample rendered with Left=4 into a plain new file: the bytes that
// every other way of writing the same render must give.
std::string ReferencePng() {
  const std::string plain = ScratchPath("plain.png");
  std::remove(plain.c_str());
  const CliRun run = RunCommandLine(
      {"render", SamplePath("gradient-rgb8.png"), plain, "Left=4"});
  EXPECT_EQ(run.status, host::kExitOk) << run.err;
  return ReadFileBytes(plain);
}

// Standard output, however it is named, is written through descriptor 1 as
// it is: after ">>" the picture follows what the file held; in a group
// ("{ echo HEAD; velk-host ...; echo TAIL; } > f") it comes after HEAD, and
// TAIL after it, in the same file. No path behind a descriptor is renamed
// over. /dev/fd/N of another descriptor writes through that one.
TEST(Cli, StandardOutputIsWrittenThroughItsDescriptor) {
  const std::string png = ReferencePng();
  const std::string sample = SamplePath("gradient-rgb8.png");
  const std::string folder = ScratchPath("stdout");
  FreshFolder(folder);
  const std::string log = folder + "/log.bin";
  const std::string toStdout = folder + "/to-stdout.png";
  const std::string toProc = folder + "/to-proc.png";
  const std::string chain = folder + "/chain.png";
  ASSERT_EQ(symlink("/dev/stdout", toStdout.c_str()), 0);
  ASSERT_EQ(symlink("/proc/self/fd/1", toProc.c_str()), 0);
  // Relative: from the folder that holds the link.
  ASSERT_EQ(symlink("to-stdout.png", chain.c_str()), 0);
  const struct {
    std::string output;  // "N": /dev/fd/ of the file's own descriptor
    bool append;         // opened as ">>" opens it, else as ">" in a group
  } cases[] = {
      {"-", true},           {"-", false},
      {"/dev/stdout", true}, {"/dev/stdout", false},
      {"/dev/fd/1", true},   {"/proc/self/fd/1", false},
      {toStdout, false},     {toProc, true},
      {chain, false},        {"N", true},
      {"N", false},
  };
  for (const auto& [output, append] : cases) {
    SCOPED_TRACE(output + (append ? " >>" : " >"));
    WriteFileBytes(log, "HEAD\n");
    const int file =
        open(log.c_str(), append ? O_WRONLY | O_APPEND : O_WRONLY | O_TRUNC);
    ASSERT_GE(file, 0);
    if (!append) {
      ASSERT_EQ(write(file, "HEAD\n", 5), 5);
    }
    const ino_t inode = StatOf(log).st_ino;
    CliRun run{};
    if (output == "N") {
      run = RunCommandLine(
          {"render", sample, "/dev/fd/" + std::to_string(file), "Left=4"});
    } else {
      const StandardOutputSwapped swapped(file);
      run = RunCommandLine({"render", sample, output, "Left=4"});
    }
    EXPECT_EQ(write(file, "TAIL\n", 5), 5);
    close(file);
    EXPECT_EQ(run.status, host::kExitOk) << run.err;
    const std::string written = ReadFileBytes(log);
    EXPECT_TRUE(written == "HEAD\n" + png + "TAIL\n")
        << written.size() << " bytes, not 10 + " << png.size();
    EXPECT_EQ(StatOf(log).st_ino, inode);
    EXPECT_EQ(TemporaryFilesIn(folder).size(), 0u);
  }
  for (const std::string& link : {toStdout, toProc, chain}) {
    EXPECT_TRUE(IsLink(link)) << link;
  }
}

// A socket as standard output takes the picture as a pipe does.
TEST(Cli, StandardOutputMayBeASocket) {
  const std::string png = ReferencePng();
  int ends[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
  CliRun run{};
  {
    const StandardOutputSwapped swapped(ends[0]);
    run = RunCommandLine(
        {"render", SamplePath("gradient-rgb8.png"), "/dev/stdout", "Left=4"});
  }
  close(ends[0]);
  std::string received;
  char buffer[4096];
  for (ssize_t size; (size = read(ends[1], buffer, sizeof buffer)) > 0;) {
    received.append(buffer, static_cast<std::size_t>(size));
  }
  close(ends[1]);
  EXPECT_EQ(run.status, host::kExitOk) << run.err;
  EXPECT_TRUE(received == png) << received.size() << " bytes";
}

// OUT's links are followed one by one, a relative one from the folder that
// holds it, not from the path that led there. A loop, a link to a folder or
// into a missing one is an error that leaves every link as it was; a link
// to a file not yet there makes that file.
TEST(Cli, OutputLinksAreFollowedOneByOne) {
  const std::string sample = SamplePath("gradient-rgb8.png");
  const std::string top = ScratchPath("links");
  FreshFolder(top);
  for (const char* folder : {"/real", "/elsewhere", "/elsewhere/sub"}) {
    ASSERT_EQ(mkdir((top + folder).c_str(), 0755), 0);
  }
  const struct {
    const char* name;
    const char* target;
  } links[] = {
      {"a", "b"},
      {"b", "a"},
      {"self", "self"},
      {"via", "elsewhere/sub"},
      {"elsewhere/sub/up.png", "../up-target.png"},
      {"c1", "c2"},
      {"c2", "real/c3.png"},
      {"folder", "real"},
      {"nowhere", "missing/x.png"},
  };
  for (const auto& [name, target] : links) {
    ASSERT_EQ(symlink(target, (top + "/" + name).c_str()), 0) << name;
  }
  const struct {
    std::string output;
    std::string written;  // the file that gets the picture
    std::string reason;   // else the error's
  } cases[] = {
      {"a", "", "Too many levels of symbolic links"},
      {"self", "", "Too many levels of symbolic links"},
      // elsewhere/sub/../up-target.png, not via/../up-target.png
      {"via/up.png", "elsewhere/up-target.png", ""},
      {"c1", "real/c3.png", ""},
      {"folder", "", "Is a directory"},
      {"nowhere", "", "No such file or directory"},
  };
  for (const auto& [output, written, reason] : cases) {
    SCOPED_TRACE(output);
    const CliRun run = RunCommandLine({"render", sample, top + "/" + output});
    if (written.empty()) {
      EXPECT_EQ(run.status, host::kExitFailed);
      EXPECT_EQ(run.err, "velk-host: error: cannot write " + top + "/" +
                             output + ": " + reason + "\n");
    } else {
      EXPECT_EQ(run.status, host::kExitOk) << run.err;
      EXPECT_EQ(ReadPng(top + "/" + written).width, 256);
    }
  }
  EXPECT_FALSE(FileExists(top + "/up-target.png"));
  for (const auto& [name, target] : links) {
    EXPECT_TRUE(IsLink(top + "/" + name)) << name;
  }
  for (const char* folder : {"", "/real", "/elsewhere", "/elsewhere/sub"}) {
    EXPECT_EQ(TemporaryFilesIn(top + folder).size(), 0u) << folder;
  }
}

// The temporary file is made in the folder of the file that it replaces,
// however OUT is named: from a current folder on another file system
// (/dev/shm, a tmpfs), and from one too deep for any path to name, where a
// link is still written through.
TEST(Cli, TemporaryFileIsMadeInTheOutputsOwnFolder) {
  const std::string sample = SamplePath("gradient-rgb8.png");
  const std::string target = ScratchPath("target.png");
  const int back = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(back, 0);
  // On the tmpfs: OUT by its absolute path, and through a link there.
  const std::string shm = "/dev/shm/velk-cli-" + std::to_string(getpid());
  FreshFolder(shm);
  ASSERT_EQ(symlink(target.c_str(), (shm + "/link.png").c_str()), 0);
  ASSERT_EQ(chdir(shm.c_str()), 0);
  for (const std::string& output : {target, std::string("link.png")}) {
    SCOPED_TRACE(output);
    WriteFileBytes(target, "old");
    const CliRun run = RunCommandLine({"render", sample, output});
    EXPECT_EQ(run.status, host::kExitOk) << run.err;
    EXPECT_EQ(ReadPng(target).width, 256);
    EXPECT_TRUE(IsLink("link.png"));
    EXPECT_EQ(TemporaryFilesIn(".").size(), 0u);
  }
  // Deeper than PATH_MAX, through a relative link beside its file.
  const std::string step(200, 'd');
  int depth = 0;
  for (; depth < 25; ++depth) {
    if (mkdir(step.c_str(), 0755) != 0 || chdir(step.c_str()) != 0) break;
  }
  ASSERT_EQ(depth, 25);
  WriteFileBytes("target.png", "old");
  ASSERT_EQ(symlink("target.png", "link.png"), 0);
  const CliRun deep = RunCommandLine({"render", sample, "link.png"});
  EXPECT_EQ(deep.status, host::kExitOk) << deep.err;
  EXPECT_TRUE(IsLink("link.png"));
  EXPECT_EQ(ReadPng("target.png").width, 256);
  EXPECT_EQ(TemporaryFilesIn(".").size(), 0u);
  unlink("link.png");
  unlink("target.png");
  for (; depth > 0 && chdir("..") == 0; --depth) rmdir(step.c_str());
  EXPECT_EQ(fchdir(back), 0);
  close(back);
  FreshFolder(shm);
  rmdir(shm.c_str());
}

// The names and values of the extended attributes of `path`.
std::map<std::string, std::string> AttributesOf(const std::string& path) {
  std::map<std::string, std::string> attributes;
  std::string names(4096, '\0');
  const ssize_t size = listxattr(path.c_str(), names.data(), names.size());
  for (std::size_t at = 0; size > 0 && at < static_cast<std::size_t>(size);
       at = names.find('\0', at) + 1) {
    const std::string name = names.c_str() + at;
    std::string value(4096, '\0');
    const ssize_t length =
        getxattr(path.c_str(), name.c_str(), value.data(), value.size());
    value.resize(length < 0 ? 0 : static_cast<std::size_t>(length));
    attributes[name] = value;
  }
  return attributes;
}

// An access ACL that gives user 65534 read and write besides the owner:
// entries of tag, permissions and id after a version number of 2.
std::string AclGivingNobodyReadWrite() {
  std::string acl("\x02\0\0\0", 4);
  const auto entry = [&acl](std::uint16_t tag, std::uint16_t permissions,
                            std::uint32_t id) {
    for (int shift = 0; shift < 16; shift += 8) acl += char(tag >> shift);
    for (int shift = 0; shift < 16; shift += 8)
      acl += char(permissions >> shift);
    for (int shift = 0; shift < 32; shift += 8) acl += char(id >> shift);
  };
  entry(0x01, 6, 0xFFFFFFFF);  // the owner
  entry(0x02, 6, kNobody);     // user 65534
  entry(0x04, 4, 0xFFFFFFFF);  // the group
  entry(0x10, 6, 0xFFFFFFFF);  // the mask
  entry(0x20, 0, 0xFFFFFFFF);  // others
  return acl;
}

// A replaced file keeps its mode, its ACL and its extended attributes, and
// when root replaces it, its owner and group, setuid and setgid with them.
TEST(Cli, ReplacedFileKeepsItsAttributes) {
  const std::string sample = SamplePath("gradient-rgb8.png");
  const std::string output = ScratchPath("kept.png");
  const struct {
    const char* what;
    uid_t owner;
    mode_t mode;
    bool attributes;  // an ACL and a user attribute
  } cases[] = {
      {"a mode of its own", geteuid(), 0640, false},
      {"an ACL and a user attribute", geteuid(), 0620, true},
      {"another user's file", kNobody, 0600, false},
      {"another user's setuid and setgid file", kNobody, 06755, false},
  };
  std::string skipped;
  for (const auto& [what, owner, mode, attributes] : cases) {
    SCOPED_TRACE(what);
    if (owner != geteuid() && !RunningAsRoot()) {
      skipped += std::string(" ") + what + ";";
      continue;
    }
    unlink(output.c_str());
    WriteFileBytes(output, "old");
    ASSERT_EQ(chown(output.c_str(), owner, owner == geteuid() ? -1 : owner), 0);
    ASSERT_EQ(chmod(output.c_str(), mode), 0);
    if (attributes) {
      const std::string acl = AclGivingNobodyReadWrite();
      if (setxattr(output.c_str(), "user.velk", "kept", 4, 0) != 0 ||
          setxattr(output.c_str(), "system.posix_acl_access", acl.data(),
                   acl.size(), 0) != 0) {
        skipped += std::string(" ") + what + " (the file system has none);";
        continue;
      }
    }
    const struct stat before = StatOf(output);
    const auto attributesBefore = AttributesOf(output);
    const CliRun run = RunCommandLine({"render", sample, output});
    EXPECT_EQ(run.status, host::kExitOk) << run.err;
    const struct stat after = StatOf(output);
    EXPECT_NE(after.st_ino, before.st_ino);  // replaced, not written over
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(AttributesOf(output), attributesBefore);
    EXPECT_EQ(AttributesOf(output).size(), attributes ? 2u : 0u);
    EXPECT_EQ(ReadPng(output).width, 256);
  }
  if (!skipped.empty()) {
    GTEST_SKIP() << "rows that need root, or extended attributes, were "
                    "skipped:"
                 << skipped;
  }
}

// A new file gets the mode of an ordinary create, 0666 less the umask, and
// a link to an existing file is kept, the file's mode with it.
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
  EXPECT_TRUE(IsLink(link));
  EXPECT_EQ(ModeOf(target), 0604u);
  EXPECT_EQ(ModeOf(fresh), 0640u);
  EXPECT_EQ(ReadFileBytes(target), ReadFileBytes(fresh));
  EXPECT_EQ(ReadPng(target).width, 256);
}

// A run of the program to its end, and what it said on its error stream.
struct UserRun {
  int status;  // the wait status
  std::string err;
};

UserRun RunSayingWhat(const std::vector<std::string>& arguments,
                      ProgramOptions options) {
  const std::string said = ScratchPath("said.txt");
  options.standardError =
      open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int status = RunProgram(arguments, options);
  close(options.standardError);
  return {status, ReadFileBytes(said)};
}

// Short of memory wherever the limit falls, the command ends with status 1
// and one line, leaving the old output whole and no temporary file, or
// writes the picture; it never ends by a signal.
TEST(Cli, ShortOfMemoryTheCommandFailsCleanlyOrRenders) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's runtime needs more address space than the "
                  "limits leave";
#endif
  const std::string folder = ScratchPath("memory");
  FreshFolder(folder);
  const std::string input = folder + "/in.png";
  const std::string output = folder + "/out.png";
  WritePng(input, PatternPicture(1000, 800, false));
  const std::vector<std::string> arguments = {"render",    input, output,
                                              "--threads", "4",   "Left=3"};
  ASSERT_EQ(RunProgram(arguments), 0);
  const std::string rendered = ReadFileBytes(output);
  const std::string old = "the picture before";
  int wrote = 0;
  int failed = 0;
  for (std::size_t megabytes = 8; megabytes <= 40; ++megabytes) {
    SCOPED_TRACE(testing::Message() << megabytes << " MB");
    WriteFileBytes(output, old);
    ProgramOptions options;
    options.addressSpace = megabytes << 20;
    const auto [status, err] = RunSayingWhat(arguments, options);
    ASSERT_TRUE(WIFEXITED(status)) << "wait status " << status;
    if (WEXITSTATUS(status) == 0) {
      EXPECT_EQ(ReadFileBytes(output), rendered);
      ++wrote;
    } else {
      EXPECT_EQ(WEXITSTATUS(status), host::kExitFailed);
      EXPECT_EQ(err.rfind("velk-host: error: ", 0), 0u) << err;
      EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
      EXPECT_EQ(ReadFileBytes(output), old);
      ++failed;
    }
    EXPECT_EQ(TemporaryFilesIn(folder), std::vector<std::string>());
  }
  EXPECT_GT(wrote, 0);
  EXPECT_GT(failed, 0);
}

UserRun RunAsProgramUser(const std::vector<std::string>& arguments) {
  ProgramOptions options;
  options.asProgramUser = true;
  return RunSayingWhat(arguments, options);
}

// As a user other than root (nobody, through setpriv, when the tests run as
// root): a file that the user may not write is refused before the render,
// as cp refuses it, and left as it was; a write-only file is replaced and
// stays so; a folder that the user may not write in is named as what
// failed; another owner's file is given the user's own, without setuid and
// setgid.
TEST(Cli, AnotherUsersRefusalsAreThoseOfCp) {
  if (RunningAsRoot() && access("/usr/bin/setpriv", X_OK) != 0) {
    GTEST_SKIP() << "running as root without setpriv: cannot switch to "
                    "user nobody";
  }
  const std::string sample = SamplePath("gradient-rgb8.png");
  const std::string folder = ScratchPath("as-user");
  const std::string output = folder + "/out.png";
  if (!ProgramUserPasses({"-x", VELK_HOST_PROGRAM, "-a", "-r", sample, "-a",
                          "-x", VELK_CLI_SCRATCH_DIR})) {
    GTEST_SKIP() << "user nobody cannot reach the program, the sample or "
                    "the scratch folder (a folder on the way is closed)";
  }
  const struct {
    const char* what;
    bool rootsFile;     // else the program user's own
    mode_t mode;        // of the file; 0: none there
    mode_t folderMode;  // of the program user's folder
    bool written;
    std::string said;  // the start of the error line, when not written
    mode_t modeAfter;
  } cases[] = {
      {"a read-only file", false, 0444, 0755, false,
       "cannot write " + output + ": Permission denied", 0444},
      {"a write-only file", false, 0200, 0755, true, "", 0200},
      {"a folder without write permission", false, 0, 0555, false,
       "cannot create a temporary file in " + folder + ": Permission denied",
       0},
      {"root's setuid and setgid file", true, 06777, 0755, true, "", 0777},
  };
  std::string skipped;
  for (const auto& [what, rootsFile, mode, folderMode, written, said,
                    modeAfter] : cases) {
    SCOPED_TRACE(what);
    if (rootsFile && !RunningAsRoot()) {
      skipped += std::string(" ") + what + ";";
      continue;
    }
    FreshFolder(folder, ProgramUser(), ProgramGroup());
    if (mode != 0) {
      WriteFileBytes(output, "old");
      if (!rootsFile) {
        ASSERT_EQ(chown(output.c_str(), ProgramUser(), ProgramGroup()), 0);
      }
      ASSERT_EQ(chmod(output.c_str(), mode), 0);
    }
    ASSERT_EQ(chmod(folder.c_str(), folderMode), 0);
    const UserRun run = RunAsProgramUser({"render", sample, output});
    chmod(folder.c_str(), 0755);
    EXPECT_TRUE(WIFEXITED(run.status)) << run.status;
    EXPECT_EQ(WEXITSTATUS(run.status),
              written ? host::kExitOk : host::kExitFailed)
        << run.err;
    if (!written) {
      EXPECT_EQ(run.err, "velk-host: error: " + said + "\n");
    }
    if (mode != 0) {
      EXPECT_EQ(ModeOf(output), modeAfter);
      EXPECT_EQ(StatOf(output).st_uid, ProgramUser());
      chmod(output.c_str(), 0600);
      if (written) {
        EXPECT_EQ(ReadPng(output).width, 256);
      } else {
        EXPECT_EQ(ReadFileBytes(output), "old");
      }
    }
    EXPECT_EQ(TemporaryFilesIn(folder).size(), 0u);
  }
  if (!skipped.empty()) {
    GTEST_SKIP() << "rows that need root were skipped:" << skipped;
  }
}

// The environment that stops the program, through the preloaded library,
// at `point` on its temporary file until `marker` is removed.
ProgramOptions HeldAt(const std::string& point, const std::string& marker) {
  ProgramOptions options;
  options.environment = {
      std::string("LD_PRELOAD=") + VELK_FILE_FAULTS, "VELK_FAULT_HOLD=" + point,
      "VELK_FAULT_MARKER=" + marker,
      // Preloaded before the sanitizer's runtime in those builds.
      "ASAN_OPTIONS=verify_asan_link_order=0"};
  return options;
}

// SIGINT, SIGTERM and SIGHUP while the temporary file is there (just made,
// the signals still held, or in its first write) end the program by that
// signal, with the temporary file removed and the old file as it was. Seen
// from outside, the temporary file has mode 0600 from the start, whatever
// the umask (0 here) and the old file's mode (0666) would allow. A signal
// that whoever started the program ignored stays ignored: the write goes
// on to its end.
TEST(Cli, EndingSignalsRemoveTheTemporaryFile) {
  const std::string sample = SamplePath("gradient-rgb8.png");
  const std::string folder = ScratchPath("signals");
  const std::string output = folder + "/out.png";
  const std::string marker = ScratchPath("held");
  const struct {
    int signal;
    const char* point;
    bool ignored = false;  // by the program's parent, when it starts
  } cases[] = {{SIGINT, "create"},     {SIGTERM, "create"}, {SIGHUP, "create"},
               {SIGINT, "write"},      {SIGTERM, "write"},  {SIGHUP, "write"},
               {SIGHUP, "write", true}};
  for (const auto& [signal, point, ignored] : cases) {
    SCOPED_TRACE(std::string(strsignal(signal)) + " at " + point +
                 (ignored ? ", ignored" : ""));
    FreshFolder(folder);
    WriteFileBytes(output, "old");
    ASSERT_EQ(chmod(output.c_str(), 0666), 0);
    unlink(marker.c_str());
    const int quiet = open("/dev/null", O_WRONLY);
    ProgramOptions options = HeldAt(point, marker);
    options.standardError = quiet;
    struct sigaction ignore {};
    struct sigaction before {};
    ignore.sa_handler = SIG_IGN;
    if (ignored) sigaction(signal, &ignore, &before);
    const mode_t mask = umask(0);
    const pid_t program = StartProgram({"render", sample, output}, options);
    umask(mask);
    if (ignored) sigaction(signal, &before, nullptr);
    close(quiet);
    ASSERT_GT(program, 0);
    if (!AppearsWithin(marker, 10)) {
      kill(program, SIGKILL);
      WaitForProgram(program);
      FAIL() << "the program never reached " << point;
    }
    const std::vector<std::string> temporary = TemporaryFilesIn(folder);
    EXPECT_EQ(temporary.size(), 1u);
    for (const std::string& name : temporary) {
      EXPECT_EQ(ModeOf(folder + "/" + name), 0600u) << name;
    }
    kill(program, signal);
    unlink(marker.c_str());
    const int status = WaitForProgram(program);
    EXPECT_EQ(TemporaryFilesIn(folder).size(), 0u);
    if (ignored) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == host::kExitOk)
          << status;
      EXPECT_EQ(ReadPng(output).width, 256);
    } else {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
      EXPECT_EQ(ReadFileBytes(output), "old");
    }
  }
}
#endif

}  // namespace
}  // namespace velk::test
