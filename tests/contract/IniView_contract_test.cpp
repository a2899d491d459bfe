// The program's INI parser held to the real profile API: every file of the
// fuzz corpus and a few hundred generated ones (duplicates, odd white
// space, CR/LF mixes, long lines, empty names, bytes above 0x7F) must read
// alike through both: the same section names, and the same lines in each.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "settings/IniView.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

namespace fs = std::filesystem;

// What GetPrivateProfileSectionNamesA lists, and GetPrivateProfileSectionA
// hands out for each name: "name=value" or "name", each terminated.
struct ApiView {
  std::vector<std::string> names;
  std::vector<std::string> sections;
  bool operator==(const ApiView& other) const {
    return names == other.names && sections == other.sections;
  }
};

std::vector<std::string> Split(const char* list, DWORD length) {
  std::vector<std::string> entries;
  for (DWORD at = 0; at < length; at += std::strlen(list + at) + 1) {
    entries.push_back(list + at);
  }
  return entries;
}

ApiView ReadThroughTheApi(const std::string& path) {
  // Drops Wine's cached copy, so the file is read from disk.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
  std::vector<char> buffer(1 << 20);
  const DWORD size = static_cast<DWORD>(buffer.size());
  ApiView view;
  view.names = Split(buffer.data(), GetPrivateProfileSectionNamesA(
                                        buffer.data(), size, path.c_str()));
  for (const std::string& name : view.names) {
    std::string lines;
    const DWORD length = GetPrivateProfileSectionA(name.c_str(), buffer.data(),
                                                   size, path.c_str());
    for (const std::string& line : Split(buffer.data(), length)) {
      lines += line + '|';
    }
    view.sections.push_back(lines);
  }
  return view;
}

// Text of a Unicode file, which the parser hands out in UTF-8, as the
// ANSI functions hand it out.
std::string AsAnsi(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(static_cast<std::size_t>(MultiByteToWideChar(
      CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0],
      static_cast<int>(wide.size()))));
  std::string ansi(wide.size() * 2, '\0');
  ansi.resize(static_cast<std::size_t>(WideCharToMultiByte(
      CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &ansi[0],
      static_cast<int>(ansi.size()), nullptr, nullptr)));
  return ansi;
}

// The parser's view as those two calls hand it out: named sections only,
// the first section of a name for each, without comments.
ApiView ReadThroughTheParser(const std::string& bytes) {
  IniView parsed = ParseIni(bytes);
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ||
      bytes.compare(0, 2, "\xFF\xFE") == 0) {
    for (IniSection& section : parsed) {
      section.name = AsAnsi(section.name);
      for (IniEntry& entry : section.entries) {
        entry.name = AsAnsi(entry.name);
        entry.value = AsAnsi(entry.value);
      }
    }
  }
  ApiView view;
  for (std::size_t i = 1; i < parsed.size(); ++i) {
    if (!parsed[i].name.empty()) view.names.push_back(parsed[i].name);
  }
  for (const std::string& name : view.names) {
    std::string lines;
    for (std::size_t i = 1; i < parsed.size(); ++i) {
      if (!SameIniName(parsed[i].name, name)) continue;
      for (const IniEntry& entry : parsed[i].entries) {
        if (!entry.name.empty() && entry.name[0] == ';') continue;
        lines += entry.name + (entry.hasValue ? "=" + entry.value : "") + '|';
      }
      break;
    }
    view.sections.push_back(lines);
  }
  return view;
}

// Files built from the pieces INI files are made of, and the ones that
// trip readers up.
std::vector<std::string> GeneratedFiles() {
  static const char* const kPieces[] = {
      "[Special]", "[special]", "[ Special ]", "[Tail] x",  "[a]b]", "[",
      "]",         "[]",        "Key=1",       " key = 2 ", "=x",    "=",
      ";comment",  "Name",      "a=b=c",       "\t",        " ",     "\r",
      "\n",        "\r\n",      "\n\r",        "\x1A",      "\xA0",  "\xE9",
      "x\xA0",     "\xFF",      "v\"q\"",      "\x85"};
  std::vector<std::string> files;
  std::uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  for (int file = 0; file < 300; ++file) {
    std::string text;
    const int pieces = static_cast<int>(next() % 40);
    for (int i = 0; i < pieces; ++i) {
      text += kPieces[(next() >> 8) % (sizeof kPieces / sizeof *kPieces)];
      if (next() % 3 == 0) text += "\r\n";
    }
    files.push_back(text);
  }
  files.push_back("[Long]\r\n" + std::string(70000, 'v') + "=1\r\n");
  files.push_back("\xEF\xBB\xBF[Special]\r\nKey = \xC3\xA9\xC2\xA0\r\n");
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("[ Special ]\r\n\tKey = 1 \rx=\xE9\n")) {
    utf16 += c;
    utf16 += '\0';
  }
  files.push_back(utf16);
  return files;
}

// The corpus' inputs hold four INI texts each, as the fuzz target splits
// them.
std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(VRP_INI_CORPUS)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string input = bytes.str();
    FuzzInput split(reinterpret_cast<const std::uint8_t*>(input.data()),
                    input.size());
    for (int i = 0; i < 4; ++i) files.push_back(split.Bytes(400));
  }
  return files;
}

TEST(IniViewContract, ParserReadsEveryFileAsTheProfileApiDoes) {
  const std::string path =
      (fs::temp_directory_path() /
       ("vrp-ini-contract-" + std::to_string(GetCurrentProcessId()) + ".ini"))
          .string();
  std::vector<std::string> files = CorpusFiles();
  ASSERT_FALSE(files.empty()) << "no corpus at " << VRP_INI_CORPUS;
  for (const std::string& file : GeneratedFiles()) files.push_back(file);
  int differing = 0;
  for (const std::string& text : files) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    const ApiView api = ReadThroughTheApi(path);
    const ApiView parsed = ReadThroughTheParser(text);
    if (!(api == parsed) && ++differing <= 5) {
      std::string names;
      for (const auto& name : api.names) names += "[" + name + "]";
      std::string ours;
      for (const auto& name : parsed.names) ours += "[" + name + "]";
      ADD_FAILURE() << "file " << testing::PrintToString(text)
                    << "\n API names: " << testing::PrintToString(names)
                    << "\n our names: " << testing::PrintToString(ours)
                    << "\n API lines: " << testing::PrintToString(api.sections)
                    << "\n our lines: "
                    << testing::PrintToString(parsed.sections);
    }
  }
  EXPECT_EQ(0, differing) << "of " << files.size() << " files";
  fs::remove(path);
}

}  // namespace
