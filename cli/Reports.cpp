#include "cli/Reports.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using Row = std::vector<std::string>;

// What the reports call a target's status, a file's value and what writing
// did to it.
const char* StatusName(TargetStatus status) {
  switch (status) {
    case TargetStatus::Found:
      return "found";
    case TargetStatus::TooOld:
      return "too old";
    case TargetStatus::Unchecked:
      return "cannot be checked";
    case TargetStatus::Absent:
      break;
  }
  return "not installed";
}

// A status or value with the reason behind it, for text and CSV: "cannot
// be checked: held by another program".
std::string WithReason(const char* name, CheckFailure failure) {
  return failure == CheckFailure::kNone
             ? std::string(name)
             : std::string(name) + ": " + CheckFailureText(failure);
}

std::string StatusText(const TargetReport& report) {
  return WithReason(StatusName(report.status),
                    report.status == TargetStatus::Unchecked
                        ? report.failure
                        : CheckFailure::kNone);
}

const char* OptionName(StoredOption value) {
  switch (value) {
    case StoredOption::kOn:
      return "on";
    case StoredOption::kOff:
      return "off";
    case StoredOption::kUnreadable:
      return "unreadable";
    case StoredOption::kNoFile:
      break;
  }
  return "no file";
}

std::string ValueText(const IniFileReport& file) {
  return WithReason(OptionName(file.value),
                    file.value == StoredOption::kUnreadable
                        ? file.failure
                        : CheckFailure::kNone);
}

const char* OutcomeName(FileWriteOutcome outcome) {
  switch (outcome) {
    case FileWriteOutcome::kChanged:
      return "changed";
    case FileWriteOutcome::kAlreadySet:
      return "already set";
    case FileWriteOutcome::kWouldChange:
      return "would change";
    case FileWriteOutcome::kFailed:
      return "failed";
    case FileWriteOutcome::kRefused:
      return "refused: the path leads elsewhere";
    case FileWriteOutcome::kCannotCheck:
      return "refused: the path cannot be checked";
    case FileWriteOutcome::kFailedNotRestored:
      return "failed, not restored";
    case FileWriteOutcome::kNotApplicable:
      break;
  }
  return "not applicable";
}

bool IsFailed(FileWriteOutcome outcome) {
  return outcome == FileWriteOutcome::kFailed ||
         outcome == FileWriteOutcome::kFailedNotRestored;
}

std::string ResultText(const IniFileReport& file) {
  return WithReason(OutcomeName(file.outcome), IsFailed(file.outcome)
                                                   ? file.failure
                                                   : CheckFailure::kNone);
}

std::string CopyValueText(const StoreCopy& copy) {
  return WithReason(OptionName(copy.value),
                    copy.value == StoredOption::kUnreadable
                        ? copy.failure
                        : CheckFailure::kNone);
}

std::string CopyResultText(const StoreCopy& copy) {
  return WithReason(OutcomeName(copy.outcome), IsWriteFailure(copy.outcome)
                                                   ? copy.failure
                                                   : CheckFailure::kNone);
}

// The user a copy or a profile belongs to: the account's name where
// Windows resolves it, else the SID.
std::string UserName(const std::string& sid, const std::string& account) {
  return account.empty() ? sid : account;
}

std::string ProblemText(const ProfileProblem& problem) {
  return problem.profile.problem.empty()
             ? problem.folder + ": " + CheckFailureText(problem.folderFailure)
             : problem.profile.problem;
}

// Columns padded to their widest cell, two spaces apart, no trailing blanks.
std::string AlignedTable(const std::vector<Row>& rows) {
  std::vector<std::size_t> widths;
  for (const Row& row : rows) {
    widths.resize(std::max(widths.size(), row.size()));
    for (std::size_t i = 0; i < row.size(); ++i) {
      widths[i] = std::max(widths[i], row[i].size());
    }
  }
  std::string table;
  for (const Row& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size())
        line += std::string(widths[i] - row[i].size() + 2, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    table += line + "\r\n";
  }
  return table;
}

std::string CsvField(const std::string& field) {
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (char c : field) {
    quoted += c;
    if (c == '"') quoted += '"';
  }
  return quoted + "\"";
}

std::string CsvLine(const Row& row) {
  std::string line;
  for (std::size_t i = 0; i < row.size(); ++i) {
    if (i > 0) line += ',';
    line += CsvField(row[i]);
  }
  return line + "\r\n";
}

constexpr std::size_t kWhole = std::string::npos;

// "\uXXXX" for one UTF-16 code unit.
void AppendJsonEscape(std::uint32_t unit, std::string& out) {
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "\\u%04x", unit);
  out += escaped;
}

// A JSON string of text in the ANSI code page, in ASCII alone: cut to at
// most `limit` bytes of whole characters in UTF-8, then quotes and
// backslashes escaped and every control character and every character
// above 0x7F written as \uXXXX (a surrogate pair above 0xFFFF). Windows
// PowerShell decodes a program's output in the console's OEM code page, so
// any other byte would reach ConvertFrom-Json as another character.
std::string JsonString(PlatformOps& ops, const std::string& ansi,
                       std::size_t limit = kWhole) {
  std::string utf8;
  if (!ops.AnsiToCodePage(ansi, code_page::kUtf8, &utf8)) utf8 = "?";
  if (utf8.size() > limit) {
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) {
      --cut;
    }
    utf8.resize(cut);
  }
  std::string quoted = "\"";
  for (std::size_t at = 0; at < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[at++]);
    const int continuations = lead < 0xC0   ? 0
                              : lead < 0xE0 ? 1
                              : lead < 0xF0 ? 2
                                            : 3;
    std::uint32_t code =
        continuations == 0 ? lead : lead & (0x3F >> continuations);
    for (int i = 0; i < continuations && at < utf8.size(); ++i) {
      code = code << 6 | (static_cast<unsigned char>(utf8[at++]) & 0x3F);
    }
    if (code == '"' || code == '\\') {
      quoted += '\\';
      quoted += static_cast<char>(code);
    } else if (code >= 0x20 && code < 0x80) {
      quoted += static_cast<char>(code);
    } else if (code < 0x10000) {
      AppendJsonEscape(code, quoted);
    } else {
      AppendJsonEscape(0xD800 + ((code - 0x10000) >> 10), quoted);
      AppendJsonEscape(0xDC00 + ((code - 0x10000) & 0x3FF), quoted);
    }
  }
  return quoted + "\"";
}

const char* Bool(bool value) { return value ? "true" : "false"; }

const TargetReport& ReportOf(const Inventory& inventory, ScanTarget target) {
  return inventory.targets[static_cast<std::size_t>(target)];
}

// ',"reason":"..."' where there is one.
std::string ReasonJson(CheckFailure failure) {
  return failure == CheckFailure::kNone
             ? std::string()
             : ",\"reason\":\"" + std::string(CheckFailureText(failure)) + "\"";
}

// The targets' array, each with its files; `perFile` writes one file's
// members after its path.
template <typename PerFile, typename PerTarget>
std::string TargetsJson(PlatformOps& ops, const Inventory& inventory,
                        bool withPaths, PerTarget perTarget, PerFile perFile) {
  std::string json = "[";
  for (ScanTarget target : kAllTargets) {
    const TargetReport& report = ReportOf(inventory, target);
    if (json.size() > 1) json += ',';
    json += "{\"name\":\"" + std::string(TargetName(target)) +
            "\",\"status\":\"" + StatusName(report.status) + "\"" +
            ReasonJson(report.status == TargetStatus::Unchecked
                           ? report.failure
                           : CheckFailure::kNone) +
            perTarget(report) + ",\"files\":[";
    bool first = true;
    for (const IniFileReport& file : inventory.files) {
      if (file.target != target) continue;
      if (!first) json += ',';
      first = false;
      json += "{\"path\":" + JsonString(ops, withPaths ? file.path : "") +
              perFile(file) + ReasonJson(file.failure) + "}";
    }
    json += "]}";
  }
  return json + "]";
}

// The first `listed` VirtualStore copies as a JSON array, each with its
// user and what `perCopy` adds, then how many were left out and how many
// profiles could not be examined: the counts survive any cut.
template <typename PerCopy>
std::string CopiesJson(PlatformOps& ops, const Inventory& inventory,
                       std::size_t listed, bool withPaths, PerCopy perCopy) {
  const std::vector<StoreCopy>& copies = inventory.store.copies;
  listed = std::min(listed, copies.size());
  std::string json = "[";
  for (std::size_t i = 0; i < listed; ++i) {
    const StoreCopy& copy = copies[i];
    if (i > 0) json += ',';
    json += "{\"target\":\"" + std::string(TargetName(copy.target)) +
            "\",\"path\":" + JsonString(ops, withPaths ? copy.path : "") +
            ",\"sid\":" + JsonString(ops, copy.sid) +
            ",\"user\":" + JsonString(ops, copy.user) + perCopy(copy) +
            ReasonJson(copy.failure) + "}";
  }
  return json + "],\"virtualStoreNotListed\":" +
         std::to_string(copies.size() - listed) + ",\"profilesNotExamined\":" +
         std::to_string(inventory.store.problems.size()) +
         ",\"profilesListed\":" + Bool(inventory.store.profilesListed);
}

// The query as JSON listing at most `copies` VirtualStore copies, and each
// version cut to `versionLimit` bytes.
std::string QueryJson(PlatformOps& ops, const Inventory& inventory,
                      std::size_t copies, bool withPaths,
                      std::size_t versionLimit) {
  std::string json = "{\"command\":\"query\",\"state\":\"" +
                     std::string(CombinedState(inventory)) + "\",\"targets\":";
  json += TargetsJson(
      ops, inventory, withPaths,
      [&](const TargetReport& report) {
        return ",\"version\":" + JsonString(ops, report.version, versionLimit);
      },
      [](const IniFileReport& file) {
        return ",\"value\":\"" + std::string(OptionName(file.value)) + "\"";
      });
  json += ",\"virtualStore\":" +
          CopiesJson(
              ops, inventory, copies, withPaths,
              [&](const StoreCopy& copy) {
                return ",\"value\":\"" + std::string(OptionName(copy.value)) +
                       "\",\"differs\":" + Bool(CopyDiffers(inventory, copy));
              }) +
          ",\"virtualStoreDiffering\":" +
          std::to_string(std::count_if(inventory.store.copies.begin(),
                                       inventory.store.copies.end(),
                                       [&](const StoreCopy& copy) {
                                         return CopyDiffers(inventory, copy);
                                       })) +
          ",\"pathsOmitted\":" + Bool(!withPaths) +
          ",\"versionsShortened\":" + Bool(versionLimit != kWhole) + "}";
  return json;
}

}  // namespace

const char* CheckFailureText(CheckFailure failure) {
  switch (failure) {
    case CheckFailure::kInUse:
      return "held by another program";
    case CheckFailure::kDenied:
      return "access denied";
    case CheckFailure::kLeadsElsewhere:
      return "behind a link";
    case CheckFailure::kPathUnchecked:
      return "its path cannot be checked";
    case CheckFailure::kUnreadable:
      return "cannot be read";
    case CheckFailure::kNoPrivateCopy:
      return "no private copy could be made";
    case CheckFailure::kNotOpened:
      return "cannot be opened";
    case CheckFailure::kNone:
      break;
  }
  return "";
}

std::string ProblemLines(const Inventory& inventory) {
  std::string lines;
  if (!inventory.store.profilesListed) {
    lines += "The user profiles cannot be listed.\r\n";
  }
  for (const ProfileProblem& problem : inventory.store.problems) {
    lines += "The profile of " +
             UserName(problem.profile.sid, problem.profile.account) +
             " cannot be examined: " + ProblemText(problem) + ".\r\n";
  }
  return lines;
}

std::string QueryAsText(const Inventory& inventory) {
  std::vector<Row> targets = {{"Target", "Status", "FileVersion"}};
  for (ScanTarget target : kAllTargets) {
    const TargetReport& report = ReportOf(inventory, target);
    targets.push_back({TargetName(target), StatusText(report), report.version});
  }
  std::string text = AlignedTable(targets) + "\r\n";
  if (AnyUsable(inventory)) {
    std::vector<Row> files = {{"File", "Value"}};
    for (const IniFileReport& file : inventory.files) {
      files.push_back({file.path, ValueText(file)});
    }
    text += AlignedTable(files) + "\r\n";
  }
  text += "Combined state: " + std::string(CombinedState(inventory)) + "\r\n";
  if (inventory.store.copies.empty()) {
    text += "VirtualStore copies: none\r\n";
  } else {
    std::vector<Row> copies = {
        {"VirtualStore copy", "User", "Value", "Differs"}};
    for (const StoreCopy& copy : inventory.store.copies) {
      copies.push_back({copy.path, UserName(copy.sid, copy.user),
                        CopyValueText(copy),
                        CopyDiffers(inventory, copy) ? "yes" : "no"});
    }
    text += "\r\n" + AlignedTable(copies);
  }
  return text + ProblemLines(inventory);
}

std::string QueryAsCsv(const Inventory& inventory, bool header) {
  std::string csv = header ? CsvLine({"Target", "Status", "FileVersion", "File",
                                      "Value", "User"})
                           : "";
  for (ScanTarget target : kAllTargets) {
    const TargetReport& report = ReportOf(inventory, target);
    bool listed = false;
    for (const IniFileReport& file : inventory.files) {
      if (file.target != target) continue;
      csv += CsvLine({TargetName(target), StatusText(report), report.version,
                      file.path, ValueText(file), ""});
      listed = true;
    }
    if (!listed) {
      csv += CsvLine(
          {TargetName(target), StatusText(report), report.version, "", "", ""});
    }
  }
  for (const StoreCopy& copy : inventory.store.copies) {
    csv += CsvLine({TargetName(copy.target),
                    CopyDiffers(inventory, copy) ? "VirtualStore copy, differs"
                                                 : "VirtualStore copy",
                    "", copy.path, CopyValueText(copy),
                    UserName(copy.sid, copy.user)});
  }
  if (!inventory.store.profilesListed) {
    csv += CsvLine({"", "profile not examined", "", "",
                    "the user profiles cannot be listed", ""});
  }
  for (const ProfileProblem& problem : inventory.store.problems) {
    csv += CsvLine({"", "profile not examined", "", problem.folder,
                    ProblemText(problem),
                    UserName(problem.profile.sid, problem.profile.account)});
  }
  return csv;
}

std::string QueryAsJson(PlatformOps& ops, const Inventory& inventory) {
  // Long paths and versions can make the line too long for the engines:
  // VirtualStore copies go first (counted in virtualStoreNotListed), then
  // the paths, then the versions are shortened. Without paths, versions of
  // 32 bytes escaped sixfold still fit; without them, anything does.
  for (std::size_t copies = inventory.store.copies.size();; --copies) {
    std::string json = QueryJson(ops, inventory, copies, true, kWhole);
    if (json.size() <= kMaxJsonLength) return json + "\r\n";
    if (copies == 0) break;
  }
  std::string json;
  for (std::size_t versionLimit : {kWhole, std::size_t{32}, std::size_t{0}}) {
    json = QueryJson(ops, inventory, 0, false, versionLimit);
    if (json.size() <= kMaxJsonLength) break;
  }
  return json + "\r\n";
}

std::string SetAsText(const Inventory& inventory, const SetSummary& summary) {
  // sync writes copies alone: its machine files are only read.
  const bool sync = std::string(summary.command) == "sync";
  std::vector<Row> rows = {{"Target", "Status", "File", "Before", "Result"}};
  for (ScanTarget target :
       sync ? std::vector<ScanTarget>()
            : std::vector<ScanTarget>(std::begin(kAllTargets),
                                      std::end(kAllTargets))) {
    const TargetReport& report = ReportOf(inventory, target);
    if (report.status == TargetStatus::Unchecked) {
      rows.push_back({TargetName(target), StatusName(report.status),
                      inventory.probes[static_cast<std::size_t>(target)], "",
                      WithReason("failed", report.failure)});
    } else if (report.status != TargetStatus::Found) {
      rows.push_back({TargetName(target), StatusName(report.status), "", "",
                      "not applicable"});
    }
    for (const IniFileReport& file : inventory.files) {
      if (file.target != target) continue;
      rows.push_back({TargetName(target), StatusName(report.status), file.path,
                      ValueText(file), ResultText(file)});
    }
  }
  std::string text = sync ? std::string() : AlignedTable(rows) + "\r\n";
  if (!inventory.store.copies.empty()) {
    std::vector<Row> copies = {
        {"VirtualStore copy", "User", "Before", "Result"}};
    for (const StoreCopy& copy : inventory.store.copies) {
      copies.push_back({copy.path, UserName(copy.sid, copy.user),
                        CopyValueText(copy), CopyResultText(copy)});
    }
    text += AlignedTable(copies) + "\r\n";
  }
  text += std::string(summary.whatIf ? "Would change: " : "Changed: ") +
          (summary.changed ? "yes" : "no") + "\r\n";
  return text;
}

std::string SetAsJson(PlatformOps& ops, const Inventory& inventory,
                      const SetSummary& summary) {
  // sync has no value of its own: each copy takes its machine file's.
  const bool sync = std::string(summary.command) == "sync";
  auto build = [&](bool withPaths, std::size_t copies) {
    std::string json =
        "{\"command\":\"" + std::string(summary.command) + "\"" +
        (sync ? std::string()
              : std::string(",\"value\":\"") +
                    (summary.value == kSkipOn ? "on" : "off") + "\"") +
        ",\"whatIf\":" + Bool(summary.whatIf) +
        ",\"changed\":" + Bool(summary.changed) +
        ",\"writerLockSquatted\":" + Bool(summary.lockSquatted) +
        ",\"result\":\"" + summary.result +
        "\",\"exitCode\":" + std::to_string(summary.exitStatus) +
        ",\"targets\":";
    json += TargetsJson(
        ops, inventory, withPaths,
        [](const TargetReport& report) {
          switch (report.status) {
            case TargetStatus::Found:
              return std::string();
            case TargetStatus::Unchecked:
              return std::string(",\"result\":\"failed\"");
            case TargetStatus::TooOld:
            case TargetStatus::Absent:
              break;
          }
          return std::string(",\"result\":\"not applicable\"");
        },
        [](const IniFileReport& file) {
          return ",\"before\":\"" + std::string(OptionName(file.value)) +
                 "\",\"result\":\"" + OutcomeName(file.outcome) + "\"";
        });
    json += ",\"virtualStore\":" +
            CopiesJson(
                ops, inventory, copies, withPaths, [](const StoreCopy& copy) {
                  return ",\"before\":\"" +
                         std::string(OptionName(copy.value)) +
                         "\",\"result\":\"" + OutcomeName(copy.outcome) + "\"";
                });
    return json + ",\"pathsOmitted\":" + Bool(!withPaths) + "}";
  };
  // Copies go first, then paths, as for the query.
  for (std::size_t copies = inventory.store.copies.size();; --copies) {
    const std::string json = build(true, copies);
    if (json.size() <= kMaxJsonLength || copies == 0) {
      return (json.size() <= kMaxJsonLength ? json : build(false, 0)) + "\r\n";
    }
  }
}
