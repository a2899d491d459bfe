#include "settings/IniView.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

namespace {

constexpr unsigned char kNoBreakSpace = 0xA0;  // in every ANSI code page
constexpr unsigned char kDosEndOfFile = 0x1A;  // ^Z, found on old media

bool IsAsciiSpace(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r') || c == kDosEndOfFile;
}

// The length of the white space that ends at `end` (exclusive) or starts at
// `start`, in ANSI or UTF-8 text: Unicode text knows more spaces than ANSI.
class Spaces {
 public:
  explicit Spaces(bool utf8) : utf8_(utf8) {}

  std::size_t At(const std::string& text, std::size_t start,
                 std::size_t end) const {
    const unsigned char c = static_cast<unsigned char>(text[start]);
    if (IsAsciiSpace(c)) return 1;
    if (!utf8_) return c == kNoBreakSpace ? 1 : 0;
    for (const char* space : kUnicodeSpaces) {
      const std::size_t length = std::char_traits<char>::length(space);
      if (end - start >= length && text.compare(start, length, space) == 0) {
        return length;
      }
    }
    return 0;
  }

  std::size_t Before(const std::string& text, std::size_t start,
                     std::size_t end) const {
    const unsigned char c = static_cast<unsigned char>(text[end - 1]);
    if (IsAsciiSpace(c)) return 1;
    if (!utf8_) return c == kNoBreakSpace ? 1 : 0;
    for (const char* space : kUnicodeSpaces) {
      const std::size_t length = std::char_traits<char>::length(space);
      if (end - start >= length &&
          text.compare(end - length, length, space) == 0) {
        return length;
      }
    }
    return 0;
  }

 private:
  // U+0085, U+00A0, U+1680, U+2000 to U+200A, U+2028, U+2029, U+202F,
  // U+205F and U+3000 in UTF-8.
  static constexpr const char* kUnicodeSpaces[] = {
      "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80",
      "\xE2\x80\x81", "\xE2\x80\x82", "\xE2\x80\x83", "\xE2\x80\x84",
      "\xE2\x80\x85", "\xE2\x80\x86", "\xE2\x80\x87", "\xE2\x80\x88",
      "\xE2\x80\x89", "\xE2\x80\x8A", "\xE2\x80\xA8", "\xE2\x80\xA9",
      "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE3\x80\x80"};
  bool utf8_;
};

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

IniView ParseIni(const std::string& bytes) {
  std::string converted;
  const std::string* text = &bytes;
  std::size_t start = 0;
  bool unicode = false;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    start = 3;
    unicode = true;
  } else if (bytes.compare(0, 2, "\xFF\xFE") == 0 ||
             bytes.compare(0, 2, "\xFE\xFF") == 0) {
    converted = Utf16ToUtf8(bytes, 2, bytes[0] == '\xFE');
    text = &converted;
    unicode = true;
  }
  const Spaces spaces(unicode);

  IniView view(1);
  bool afterNameless = false;  // the section's last entry has no name
  while (start < text->size()) {
    std::size_t next = text->find('\n', start);
    next = next == std::string::npos ? text->size() : next + 1;
    std::size_t begin = start;
    std::size_t end = next;
    start = next;
    while (begin < end && (*text)[end - 1] == '\n') --end;
    for (std::size_t skip; begin < end && (skip = spaces.At(*text, begin, end));)
      begin += skip;
    for (std::size_t skip;
         end > begin && (skip = spaces.Before(*text, begin, end));)
      end -= skip;
    if (begin == end) continue;

    const auto lineBegin = text->begin() + static_cast<std::ptrdiff_t>(begin);
    const auto lineEnd = text->begin() + static_cast<std::ptrdiff_t>(end);
    if ((*text)[begin] == '[') {
      const auto close =
          std::find(std::make_reverse_iterator(lineEnd),
                    std::make_reverse_iterator(lineBegin + 1), ']');
      if (close.base() != lineBegin + 1) {
        const auto name = static_cast<std::size_t>(close.base() - lineBegin);
        view.push_back({text->substr(begin + 1, name - 2), {}});
        afterNameless = false;
        continue;
      }
    }
    IniEntry entry;
    const std::size_t equals =
        static_cast<std::size_t>(std::find(lineBegin, lineEnd, '=') -
                                 text->begin());
    if (equals < end) {
      std::size_t nameEnd = equals;
      for (std::size_t skip;
           nameEnd > begin && (skip = spaces.Before(*text, begin, nameEnd));)
        nameEnd -= skip;
      std::size_t valueBegin = equals + 1;
      for (std::size_t skip; valueBegin < end &&
                             (skip = spaces.At(*text, valueBegin, end));)
        valueBegin += skip;
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
