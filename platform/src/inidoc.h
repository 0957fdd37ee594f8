// An ini file held as its lines, read and edited with the Windows profile functions' rules:
// sections and keys case-insensitive, values trimmed and unquoted, edits that keep every other
// line as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "internal.h"

namespace pinforge {

class PF_INTERNAL IniDocument {
 public:
  IniDocument() = default;
  explicit IniDocument(std::string_view bytes);

  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  std::vector<std::string> Sections() const;               // first spelling of each, file order
  std::vector<std::string> Keys(std::string_view section) const;  // of the section's first occurrence
  bool HasSection(std::string_view section) const;

  void Set(std::string_view section, std::string_view key, std::string_view value);
  bool DeleteKey(std::string_view section, std::string_view key);
  bool DeleteSection(std::string_view section);  // every occurrence

  std::string Serialize() const;

 private:
  struct Line {
    std::string text;  // without its line end
  };
  // Index of the first line of the section's first occurrence (its header), or npos.
  std::size_t FindSection(std::string_view section) const;
  // One past the section's last line (the next header or the end).
  std::size_t SectionEnd(std::size_t header) const;
  std::size_t FindKey(std::size_t header, std::string_view key) const;

  std::vector<Line> lines_;
  bool crlf_ = true;  // new lines end in CR LF
  bool finalEol_ = true;
};

// Parts of one line, exposed for the tests of the rules.
struct IniLine {
  enum Kind { kOther, kSection, kKey } kind = kOther;
  std::string name;   // section or key name, trimmed
  std::string value;  // key value, trimmed, outer quotes removed
};
PF_INTERNAL IniLine ParseIniLine(std::string_view line);

}  // namespace pinforge
