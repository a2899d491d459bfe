// The parser's reading rules, one row each, so that a broken rule fails on
// every machine and not only against Wine's profile API.
#include "settings/IniView.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// "[section]name=value;name;" for every section, the nameless one first.
std::string Shown(const IniView& view) {
  std::string shown;
  for (const IniSection& section : view) {
    shown += "[" + section.name + "]";
    for (const IniEntry& entry : section.entries) {
      shown += entry.name + (entry.hasValue ? "=" + entry.value : "") + ";";
    }
  }
  return shown;
}

TEST(IniView, ReadsAsTheProfileApiReads) {
  const struct {
    const char* rule;
    std::string bytes;
    Utf8Bom bom;
    const char* shown;
  } rows[] = {
      {"a trailing ^Z is trimmed", "[S]\r\nK=1\x1A", Utf8Bom::kSkipped,
       "[][S]K=1;"},
      {"UTF-16LE is read", std::string("\xFF\xFE[\0S\0]\0\n\0K\0=\0\xE9\0", 16),
       Utf8Bom::kSkipped, "[][S]K=\xC3\xA9;"},
      {"a lone CR ends a line", "[S]\rA=1\rB", Utf8Bom::kSkipped,
       "[][S]A=1;B;"},
      {"spaces around a section's name", "[ Special ]", Utf8Bom::kSkipped,
       "[][Special]"},
      {"the first = splits", "[S]\nK = 1=x", Utf8Bom::kSkipped, "[][S]K=1=x;"},
      {"a UTF-8 mark skipped", "\xEF\xBB\xBF[S]\nK=1", Utf8Bom::kSkipped,
       "[][S]K=1;"},
      {"a UTF-8 mark read as text", "\xEF\xBB\xBF[S]\nK=1", Utf8Bom::kText,
       "[]\xEF\xBB\xBF[S];K=1;"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.shown, Shown(ParseIni(row.bytes, row.bom))) << row.rule;
  }
}

}  // namespace
