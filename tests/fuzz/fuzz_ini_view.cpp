// The INI parser on arbitrary bytes, under the sanitizers: and a file
// written back as Wine's profile API writes it (every section and line
// rewritten, "name=value") with the key set reads as the view the checked
// write expects, so that an honest write is never taken for a failed one.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/IniView.h"

namespace {

bool StartsWithByteOrderMark(const std::string& text) {
  return text.compare(0, 3, "\xEF\xBB\xBF") == 0 ||
         text.compare(0, 2, "\xFF\xFE") == 0 ||
         text.compare(0, 2, "\xFE\xFF") == 0;
}

// Unicode text (the view holds it as UTF-8) goes back with a byte-order
// mark, as the API writes a file in the encoding it read it in.
std::string WrittenBackLikeWine(const IniView& view, bool unicode) {
  std::string text = unicode ? "\xEF\xBB\xBF" : "";
  for (std::size_t i = 0; i < view.size(); ++i) {
    if (i > 0) text += "\r\n[" + view[i].name + "]\r\n";
    for (const IniEntry& entry : view[i].entries) {
      text += entry.name + (entry.hasValue ? "=" + entry.value : "") + "\r\n";
    }
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const IniView expected =
      WithValueSet(ParseIni(bytes), "Special", "EnableVeloRidePass", "1");
  // Files that the profile API itself reads differently once it has
  // written them back, which the check rightly reports: a "[]" section,
  // written without its header, joins the one before it; an ANSI file
  // whose first line, trimmed, starts with a byte-order mark's bytes.
  for (std::size_t i = 1; i < expected.size(); ++i) {
    if (expected[i].name.empty()) return 0;
  }
  const bool unicode = StartsWithByteOrderMark(bytes);
  const std::string written = WrittenBackLikeWine(expected, unicode);
  if (!unicode && StartsWithByteOrderMark(written)) return 0;
  if (!SameIniView(expected, ParseIni(written), "EnableVeloRidePass")) {
    std::abort();
  }
  return 0;
}
