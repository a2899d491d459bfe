#include "settings/IniView.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

namespace {

constexpr unsigned char kDosEndOfFile = 0x1A;  // ^Z, found on old media

// What the profile API trims: the C locale's white space and ^Z, also in
// Unicode text (Wine's reader, checked against this parser by the contract
// tests, trims no other character, not even the no-break space).
bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r') || c == kDosEndOfFile;
}

void AppendUtf8(std::uint32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// UTF-16 text (after its byte-order mark) as UTF-8; a lone surrogate is
// kept as the code unit it is, so that no two texts read alike.
std::string Utf16ToUtf8(const std::string& bytes, std::size_t start,
                        bool bigEndian) {
  std::string text;
  text.reserve(bytes.size());
  auto unit = [&](std::size_t at) {
    const auto first = static_cast<unsigned char>(bytes[at]);
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    return static_cast<std::uint32_t>(bigEndian ? first << 8 | second
                                                : second << 8 | first);
  };
  for (std::size_t at = start; at + 1 < bytes.size(); at += 2) {
    std::uint32_t code = unit(at);
    if (code >= 0xD800 && code < 0xDC00 && at + 3 < bytes.size()) {
      const std::uint32_t low = unit(at + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        at += 2;
      }
    }
    AppendUtf8(code, text);
  }
  return text;
}

}  // namespace

bool SameIniName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

IniView ParseIni(const std::string& bytes, Utf8Bom bom) {
  std::string converted;
  const std::string* text = &bytes;
  std::size_t start = 0;
  if (bom == Utf8Bom::kSkipped && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    start = 3;
  } else if (bytes.compare(0, 2, "\xFF\xFE") == 0 ||
             bytes.compare(0, 2, "\xFE\xFF") == 0) {
    converted = Utf16ToUtf8(bytes, 2, bytes[0] == '\xFE');
    text = &converted;
  }
  const auto spaceAt = [text](std::size_t at) { return IsSpace((*text)[at]); };

  IniView view(1);
  bool afterNameless = false;  // the section's last entry has no name
  while (start < text->size()) {
    std::size_t next = text->find_first_of("\r\n", start);
    next = next == std::string::npos ? text->size() : next + 1;
    std::size_t begin = start;
    std::size_t end = next;
    start = next;
    while (begin < end && spaceAt(begin)) ++begin;
    while (end > begin && spaceAt(end - 1)) --end;
    if (begin == end) continue;

    const auto lineBegin = text->begin() + static_cast<std::ptrdiff_t>(begin);
    const auto lineEnd = text->begin() + static_cast<std::ptrdiff_t>(end);
    if ((*text)[begin] == '[') {
      const auto close =
          std::find(std::make_reverse_iterator(lineEnd),
                    std::make_reverse_iterator(lineBegin + 1), ']');
      if (close.base() != lineBegin + 1) {
        std::size_t nameBegin = begin + 1;
        std::size_t nameEnd =
            begin + static_cast<std::size_t>(close.base() - lineBegin) - 1;
        while (nameBegin < nameEnd && spaceAt(nameBegin)) ++nameBegin;
        while (nameEnd > nameBegin && spaceAt(nameEnd - 1)) --nameEnd;
        view.push_back({text->substr(nameBegin, nameEnd - nameBegin), {}});
        afterNameless = false;
        continue;
      }
    }
    IniEntry entry;
    const std::size_t equals = static_cast<std::size_t>(
        std::find(lineBegin, lineEnd, '=') - text->begin());
    if (equals < end) {
      std::size_t nameEnd = equals;
      while (nameEnd > begin && spaceAt(nameEnd - 1)) --nameEnd;
      std::size_t valueBegin = equals + 1;
      while (valueBegin < end && spaceAt(valueBegin)) ++valueBegin;
      entry.name = text->substr(begin, nameEnd - begin);
      entry.hasValue = true;
      entry.value = text->substr(valueBegin, end - valueBegin);
    } else {
      entry.name = text->substr(begin, end - begin);
    }
    if (entry.name.empty() && afterNameless) continue;
    afterNameless = entry.name.empty();
    view.back().entries.push_back(std::move(entry));
  }
  return view;
}

IniView WithValueSet(IniView view, const std::string& section,
                     const std::string& key, const std::string& value) {
  for (std::size_t i = 1; i < view.size(); ++i) {
    if (!SameIniName(view[i].name, section)) continue;
    for (IniEntry& entry : view[i].entries) {
      if (SameIniName(entry.name, key)) {
        entry.hasValue = true;
        entry.value = value;
        return view;
      }
    }
    view[i].entries.push_back({key, true, value});
    return view;
  }
  view.push_back({section, {{key, true, value}}});
  return view;
}

bool SameIniView(const IniView& expected, const IniView& actual,
                 const std::string& key) {
  if (expected.size() != actual.size()) return false;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const std::vector<IniEntry>& want = expected[i].entries;
    const std::vector<IniEntry>& got = actual[i].entries;
    if (expected[i].name != actual[i].name || want.size() != got.size()) {
      return false;
    }
    for (std::size_t j = 0; j < want.size(); ++j) {
      const bool sameName =
          want[j].name == got[j].name ||
          (SameIniName(want[j].name, key) && SameIniName(got[j].name, key));
      if (!sameName || want[j].hasValue != got[j].hasValue ||
          want[j].value != got[j].value) {
        return false;
      }
    }
  }
  return true;
}
