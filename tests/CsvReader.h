// A strict RFC 4180 reader: the judge of the console program's CSV output.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

// The records of an RFC 4180 text: fields split at commas outside quotes,
// records at CRLF outside quotes, "" inside quotes a quote. Throws on text
// that is not RFC 4180 (a bare quote, a record without CRLF).
inline std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == '"' && field.empty()) {
      quoted = true;
    } else if (c == ',') {
      record.push_back(field);
      field.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      record.push_back(field);
      records.push_back(record);
      record.clear();
      field.clear();
      ++i;
    } else if (c == '"' || c == '\r' || c == '\n') {
      throw std::runtime_error("not RFC 4180 at " + std::to_string(i));
    } else {
      field += c;
    }
  }
  if (quoted || !field.empty() || !record.empty()) {
    throw std::runtime_error("the last record does not end with CRLF");
  }
  return records;
}
