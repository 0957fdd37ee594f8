#include "inidoc.h"

#include "text.h"

namespace pinforge {

namespace {
// A line as stored keeps the CR of a CR LF ending; it is no part of the line's meaning.
std::string_view Content(std::string_view raw) {
  if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
  return raw;
}
bool IsBlank(std::string_view raw) { return text::Trim(Content(raw)).empty(); }
}  // namespace

IniLine ParseIniLine(std::string_view raw) {
  IniLine out;
  std::string_view line = text::Trim(Content(raw));
  if (line.empty() || line.front() == ';') return out;
  if (line.front() == '[') {
    std::string_view rest = line.substr(1);
    auto close = rest.find(']');
    if (close != std::string_view::npos) rest = rest.substr(0, close);
    out.kind = IniLine::kSection;
    out.name = std::string(text::Trim(rest));
    return out;
  }
  auto eq = line.find('=');
  if (eq == std::string_view::npos) return out;
  out.kind = IniLine::kKey;
  out.name = std::string(text::Trim(line.substr(0, eq)));
  std::string_view value = text::Trim(line.substr(eq + 1));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  out.value = std::string(value);
  return out;
}

IniDocument::IniDocument(std::string_view bytes) {
  // New lines take the ending of the file's first line (CR LF for a new file).
  auto firstNl = bytes.find('\n');
  if (firstNl != std::string_view::npos && (firstNl == 0 || bytes[firstNl - 1] != '\r')) crlf_ = false;
  finalEol_ = bytes.empty() || bytes.back() == '\n';
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    auto nl = bytes.find('\n', pos);
    std::string_view line = bytes.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    lines_.push_back({std::string(line)});
    if (nl == std::string_view::npos) break;
    pos = nl + 1;
  }
}

std::size_t IniDocument::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    IniLine l = ParseIniLine(lines_[i].text);
    if (l.kind == IniLine::kSection && text::EqualNoCase(l.name, section)) return i;
  }
  return std::string::npos;
}

std::size_t IniDocument::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  while (i < lines_.size() && ParseIniLine(lines_[i].text).kind != IniLine::kSection) ++i;
  return i;
}

std::size_t IniDocument::FindKey(std::size_t header, std::string_view key) const {
  std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    IniLine l = ParseIniLine(lines_[i].text);
    if (l.kind == IniLine::kKey && text::EqualNoCase(l.name, key)) return i;
  }
  return std::string::npos;
}

bool IniDocument::HasSection(std::string_view section) const {
  return FindSection(section) != std::string::npos;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  std::size_t header = FindSection(section);
  if (header == std::string::npos) return std::nullopt;
  std::size_t at = FindKey(header, key);
  if (at == std::string::npos) return std::nullopt;
  return ParseIniLine(lines_[at].text).value;
}

std::vector<std::string> IniDocument::Sections() const {
  std::vector<std::string> out;
  for (const Line& line : lines_) {
    IniLine l = ParseIniLine(line.text);
    if (l.kind != IniLine::kSection) continue;
    bool seen = false;
    for (const auto& s : out) seen = seen || text::EqualNoCase(s, l.name);
    if (!seen) out.push_back(l.name);
  }
  return out;
}

std::vector<std::string> IniDocument::Keys(std::string_view section) const {
  std::vector<std::string> out;
  std::size_t header = FindSection(section);
  if (header == std::string::npos) return out;
  std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    IniLine l = ParseIniLine(lines_[i].text);
    if (l.kind != IniLine::kKey) continue;
    bool seen = false;
    for (const auto& k : out) seen = seen || text::EqualNoCase(k, l.name);
    if (!seen) out.push_back(l.name);
  }
  return out;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string cr = crlf_ ? "\r" : "";
  std::size_t header = FindSection(section);
  if (header == std::string::npos) {
    if (!lines_.empty() && !IsBlank(lines_.back().text)) {
      if (!finalEol_) lines_.back().text += cr;
      lines_.push_back({cr});
    }
    lines_.push_back({"[" + std::string(section) + "]" + cr});
    lines_.push_back({std::string(key) + "=" + std::string(value) + cr});
    finalEol_ = true;
    return;
  }
  std::size_t at = FindKey(header, key);
  if (at != std::string::npos) {
    std::string& line = lines_[at].text;
    bool hadCr = !line.empty() && line.back() == '\r';
    line = ParseIniLine(line).name + "=" + std::string(value) + (hadCr ? "\r" : "");
    return;
  }
  // A new key goes after the section's last non-blank line.
  std::size_t insert = SectionEnd(header);
  while (insert > header + 1 && IsBlank(lines_[insert - 1].text)) --insert;
  if (insert == lines_.size() && !finalEol_) {
    lines_.back().text += cr;
    finalEol_ = true;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert), {std::string(key) + "=" + std::string(value) + cr});
}

bool IniDocument::DeleteKey(std::string_view section, std::string_view key) {
  std::size_t header = FindSection(section);
  if (header == std::string::npos) return false;
  std::size_t at = FindKey(header, key);
  if (at == std::string::npos) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(at));
  return true;
}

bool IniDocument::DeleteSection(std::string_view section) {
  bool any = false;
  for (std::size_t header = FindSection(section); header != std::string::npos; header = FindSection(section)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
    any = true;
  }
  return any;
}

std::string IniDocument::Serialize() const {
  std::string out;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    out += lines_[i].text;
    if (i + 1 < lines_.size() || finalEol_) out += '\n';
  }
  return out;
}

}  // namespace pinforge
