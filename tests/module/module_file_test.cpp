// The module file as the host finds it before it calls any export: the
// plug-in property list and manifest resources, read back both by wrestool
// and by the Windows loader and compared with blocks assembled here, the
// export and import tables as objdump reads them, and what the module
// carries: its size, no debug information, and the link to the debug file
// built beside it, which holds the effect's functions.
//
// VELK_MODULE names the module; VELK_MODULE_DUMP the directory where
// dump_module.cmake left what wrestool and objdump found in it and in the
// debug file.
#include <gtest/gtest.h>
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/host_contract.h"

namespace velk::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Setting(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') {
    ADD_FAILURE() << name << " is not set";
    return {};
  }
  return value;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) ADD_FAILURE() << "cannot read " << path;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadDumped(const char* file) {
  return ReadFile(Setting("VELK_MODULE_DUMP") + "/" + file);
}

Bytes AsBytes(const std::string& text) { return {text.begin(), text.end()}; }

// Sixteen bytes a line, so that a mismatch shows where it lies.
std::string Hex(const Bytes& bytes) {
  std::string text;
  char cell[8];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % 16 == 0) {
      std::snprintf(cell, sizeof cell, "%s%04zx:", i == 0 ? "" : "\n", i);
      text += cell;
    }
    std::snprintf(cell, sizeof cell, " %02x", bytes[i]);
    text += cell;
  }
  return text;
}

// Little-endian integers and four-character codes, appended in order.
class Block {
 public:
  Block& Int16(std::int16_t value) {
    return Little(static_cast<std::uint16_t>(value), 2);
  }
  Block& Int32(std::uint32_t value) { return Little(value, 4); }
  // A four-character code is the 32-bit integer whose most significant byte
  // is its first character.
  Block& Code(const char (&code)[5]) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      value = value << 8 | static_cast<std::uint8_t>(code[i]);
    }
    return Int32(value);
  }
  Block& Append(const Bytes& data) {
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return *this;
  }
  Bytes bytes() const { return bytes_; }

 private:
  Block& Little(std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) bytes_.push_back(value >> 8 * i & 0xff);
    return *this;
  }
  Bytes bytes_;
};

// A length byte and the text, filled up with zero bytes to `size`.
Bytes PascalString(const std::string& text, std::size_t size) {
  Bytes data(size, 0);
  data[0] = static_cast<std::uint8_t>(text.size());
  std::copy(text.begin(), text.end(), data.begin() + 1);
  return data;
}

// The text and its NUL, filled up with zero bytes to `size`.
Bytes CString(const std::string& text, std::size_t size) {
  Bytes data(size, 0);
  std::copy(text.begin(), text.end(), data.begin());
  return data;
}

// The property list as the host reads it: a header, then one record per
// property: vendor, key, id 0, the length of the data, and the data padded
// with zero bytes to a multiple of 4.
Bytes ExpectedPropertyList() {
  struct Property {
    const char key[5];
    Bytes data;  // exactly the bytes that the record's length counts
  };
  const Property properties[] = {
      {"kind", Block().Int32(kKind).bytes()},
      {"name", PascalString(kName, 8)},
      {"catg", PascalString(kCategory, 8)},
      {"8664", CString(kEntryPoint, 12)},
      {"ePVR", Block().Int16(2).Int16(0).bytes()},
      {"eSVR", Block().Int16(kInterfaceMajor).Int16(kInterfaceMinor).bytes()},
      {"eVER", Block().Int32(kVersionWord).bytes()},
      {"eINF", Block().Int16(0).bytes()},
      {"eGLO", Block().Int32(kGlobalFlags).bytes()},
      {"eGL2", Block().Int32(0).bytes()},
      {"eMNA", PascalString(kMatchName, 12)},
      {"aeFL", Block().Int32(0).bytes()},
  };
  Block list;
  list.Int16(1).Int32(0).Int32(std::size(properties));
  for (const Property& property : properties) {
    Bytes padded = property.data;
    padded.resize((padded.size() + 3) / 4 * 4, 0);
    list.Code("8BIM")
        .Code(property.key)
        .Int32(0)
        .Int32(property.data.size())
        .Append(padded);
  }
  return list.bytes();
}

// One resource of the module, language 1033, as the Windows loader finds it.
Bytes LoadedResource(const char* type, int id) {
  const std::string path = Setting("VELK_MODULE");
  HMODULE module =
      LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) {
    ADD_FAILURE() << "cannot load " << path << ": " << GetLastError();
    return {};
  }
  Bytes data;
  HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id),
                                MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  if (found == nullptr) {
    ADD_FAILURE() << "no resource " << id << " of this type in " << path;
  } else {
    const auto* start = static_cast<const std::uint8_t*>(
        LockResource(LoadResource(module, found)));
    data.assign(start, start + SizeofResource(module, found));
  }
  FreeLibrary(module);
  return data;
}

// One resource as each reader found it.
struct ReadBack {
  const char* reader;
  Bytes data;
};

std::vector<ReadBack> PropertyListsRead() {
  return {{"wrestool", AsBytes(ReadDumped("pipl.bin"))},
          {"loader", LoadedResource("PIPL", 16000)}};
}

std::vector<ReadBack> ManifestsRead() {
  return {{"wrestool", AsBytes(ReadDumped("manifest.xml"))},
          {"loader", LoadedResource(MAKEINTRESOURCEA(24), 2)}};
}

TEST(ModuleFileTest, PropertyListIsExactlyTheAssembledBlock) {
  const Bytes expected = ExpectedPropertyList();
  ASSERT_EQ(expected.size(), 274u);
  for (const ReadBack& read : PropertyListsRead()) {
    SCOPED_TRACE(read.reader);
    EXPECT_EQ(Hex(read.data), Hex(expected));
  }
}

TEST(ModuleFileTest, ManifestRequestsAsInvokerWithoutUiAccess) {
  const std::regex request(
      R"(^<\?xml [^>]*\?>\s*<assembly [^>]*>\s*)"
      R"(<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">\s*)"
      R"(<security>\s*<requestedPrivileges>\s*)"
      R"(<requestedExecutionLevel\s+level="asInvoker"\s+uiAccess="false"\s*/>)");
  for (const ReadBack& read : ManifestsRead()) {
    SCOPED_TRACE(read.reader);
    const std::string text(read.data.begin(), read.data.end());
    EXPECT_TRUE(std::regex_search(text, request)) << text;
  }
}

TEST(ModuleFileTest, ModuleCarriesOnlyItsTwoResources) {
  std::istringstream listing(ReadDumped("resources.txt"));
  std::set<std::string> resources;
  for (std::string line; std::getline(listing, line);) {
    resources.insert(line.substr(0, line.find(" [")));  // drop offset, size
  }
  const std::set<std::string> expected = {
      "--type='PIPL' --name=16000 --language=1033",
      "--type=24 --name=2 --language=1033"};
  EXPECT_EQ(resources, expected);
}

// Named exports and their ordinals, from objdump's export tables. Older
// objdumps list the unbiased index only, newer ones add "+base[ordinal]".
std::map<std::string, long> NamedExports(const std::string& headers) {
  std::smatch match;
  long base = 0;
  if (std::regex_search(headers, match, std::regex(R"(Ordinal Base\s+(\d+))")))
    base = std::stol(match[1]);
  std::map<std::string, long> exports;
  const std::size_t table = headers.find("[Ordinal/Name Pointer] Table");
  if (table == std::string::npos) return exports;
  std::istringstream lines(headers.substr(table));
  std::string line;
  std::getline(lines, line);
  const std::regex entry(
      R"(^\s*\[\s*(\d+)\]\s+(?:\+base\[\s*(\d+)\]\s+)?(\S+)\s*$)");
  while (std::getline(lines, line) && std::regex_match(line, match, entry)) {
    exports[match[3]] =
        match[2].matched ? std::stol(match[2]) : std::stol(match[1]) + base;
  }
  return exports;
}

TEST(ModuleFileTest, ExportsEffectMainAtOrdinalOneAndTheEntryByName) {
  const std::map<std::string, long> exports =
      NamedExports(ReadDumped("headers.txt"));
  EXPECT_EQ(exports.size(), 2u);
  EXPECT_EQ(exports.count("EffectMain") ? exports.at("EffectMain") : 0, 1);
  EXPECT_EQ(exports.count("PluginDataEntryFunction"), 1u);

  // The loader agrees: ordinal 1 is the function named EffectMain.
  const std::string path = Setting("VELK_MODULE");
  HMODULE module = LoadLibraryA(path.c_str());
  ASSERT_NE(module, nullptr) << path << ": " << GetLastError();
  const auto byOrdinal = GetProcAddress(module, MAKEINTRESOURCEA(1));
  EXPECT_NE(byOrdinal, nullptr);
  EXPECT_EQ(byOrdinal, GetProcAddress(module, "EffectMain"));
  FreeLibrary(module);
}

TEST(ModuleFileTest, ImportsOnlyWindowsSystemDlls) {
  const std::string headers = ReadDumped("headers.txt");
  const std::set<std::string> system = {"kernel32.dll", "msvcrt.dll",
                                        "ntdll.dll",    "user32.dll",
                                        "advapi32.dll", "ucrtbase.dll"};
  const std::regex dllName(R"(DLL Name: (\S+))");
  std::vector<std::string> imported;
  for (auto it = std::sregex_iterator(headers.begin(), headers.end(), dllName);
       it != std::sregex_iterator(); ++it) {
    std::string name = (*it)[1];
    for (char& c : name) c = static_cast<char>(std::tolower(c));
    imported.push_back(name);
    EXPECT_TRUE(system.count(name) || name.rfind("api-ms-win-", 0) == 0)
        << name << " is not a Windows system DLL";
  }
  EXPECT_NE(std::find(imported.begin(), imported.end(), "kernel32.dll"),
            imported.end());
}

// A release module larger than this carries more than it runs.
constexpr std::size_t kModuleSizeLimit = 256 * 1024;

// The section names of an objdump section table, in order.
std::vector<std::string> SectionNames(const std::string& table) {
  const std::regex row(R"(^\s*\d+ (\S+)\s+[0-9a-f]+ )");
  std::vector<std::string> names;
  std::istringstream lines(table);
  std::smatch match;
  for (std::string line; std::getline(lines, line);) {
    if (std::regex_search(line, match, row)) names.push_back(match[1]);
  }
  return names;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// A section's bytes from objdump's full contents: each row an address, up to
// four groups of hex digits, two spaces, and the same bytes as text.
Bytes DumpedContents(const std::string& dump) {
  const std::regex row(R"(^ [0-9a-f]+((?: [0-9a-f]{2,8}){1,4})  )");
  Bytes bytes;
  std::istringstream lines(dump);
  std::smatch match;
  for (std::string line; std::getline(lines, line);) {
    if (!std::regex_search(line, match, row)) continue;
    std::istringstream groups(match[1]);
    for (std::string group; groups >> group;) {
      for (std::size_t i = 0; i + 1 < group.size(); i += 2) {
        bytes.push_back(std::stoul(group.substr(i, 2), nullptr, 16));
      }
    }
  }
  return bytes;
}

// The names of the functions that objdump's --dwarf=info describes.
std::set<std::string> DescribedFunctions(const std::string& info) {
  std::set<std::string> names;
  std::istringstream lines(info);
  bool inFunction = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.find("Abbrev Number") != std::string::npos) {
      inFunction = line.find("(DW_TAG_subprogram)") != std::string::npos;
    } else if (inFunction && line.find("DW_AT_name") != std::string::npos) {
      names.insert(line.substr(line.rfind(": ") + 2));
    }
  }
  return names;
}

TEST(ModuleFileTest, ModuleIsSmallAndCarriesNoDebugSections) {
  const std::string module = ReadFile(Setting("VELK_MODULE"));
  EXPECT_GT(module.size(), 0u);
  EXPECT_LE(module.size(), kModuleSizeLimit);

  const std::vector<std::string> sections =
      SectionNames(ReadDumped("sections.txt"));
  EXPECT_TRUE(Contains(sections, ".text") && Contains(sections, ".rsrc"))
      << "no section table read";
  for (const std::string& name : sections) {
    EXPECT_NE(name.rfind(".debug_", 0), 0u) << name << " is in the module";
  }
}

TEST(ModuleFileTest, DebugLinkNamesTheDebugFileBesideTheModule) {
  const std::string module = Setting("VELK_MODULE");
  const std::size_t slash = module.find_last_of("/\\");
  const std::string directory = module.substr(0, slash + 1);
  const std::string expectedName = module.substr(slash + 1) + ".debug";

  ASSERT_TRUE(
      Contains(SectionNames(ReadDumped("sections.txt")), ".gnu_debuglink"))
      << "the module has no .gnu_debuglink";
  // The file name, its terminating zero, zero bytes up to a multiple of four,
  // then the file's checksum as a little-endian 32-bit word.
  const Bytes link = DumpedContents(ReadDumped("debuglink.txt"));
  const std::string name(reinterpret_cast<const char*>(link.data()),
                         std::find(link.begin(), link.end(), 0) - link.begin());
  EXPECT_EQ(name, expectedName);
  const std::size_t checksumAt = (name.size() + 4) / 4 * 4;
  ASSERT_EQ(link.size(), checksumAt + 4) << Hex(link);
  std::uint32_t recorded = 0;
  for (int i = 3; i >= 0; --i) recorded = recorded << 8 | link[checksumAt + i];

  const std::string debugFile = ReadFile(directory + name);
  ASSERT_GT(debugFile.size(), 0u) << directory + name << " is empty";
  // A debug link records its file's CRC-32, by which a debugger rejects a
  // stale file.
  const auto crc = static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(debugFile.data()),
            static_cast<uInt>(debugFile.size())));
  EXPECT_EQ(crc, recorded)
      << "the debug file is not the one linked from the module";
}

TEST(ModuleFileTest, DebugFileDescribesTheEffectsFunctions) {
  const std::vector<std::string> sections =
      SectionNames(ReadDumped("debug_sections.txt"));
  for (const char* section : {".debug_info", ".debug_abbrev", ".debug_line"}) {
    EXPECT_TRUE(Contains(sections, section)) << "no " << section;
  }

  const std::set<std::string> functions =
      DescribedFunctions(ReadDumped("debug_info.txt"));
  for (const char* function :
       {"EffectMain", "PluginDataEntryFunction", "About", "GlobalSetup",
        "ParamsSetup", "Render", "UserChangedParam", "UpdateParameterUI",
        "PixelFunc<velk::Pixel8>", "PixelFunc<velk::Pixel16>",
        "ParamUtilsSuite3"}) {
    EXPECT_TRUE(functions.count(function)) << function << " is not described";
  }
}

}  // namespace
}  // namespace velk::test
