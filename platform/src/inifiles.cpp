#include <vcl/IniFiles.h>

#include <win32/windows.h>

#include <cstring>
#include <vector>

namespace {

void Fail(const AnsiString& file) { throw EIniFileException("Unable to write to " + file); }

std::vector<AnsiString> ReadList(const char* section, const AnsiString& file) {
  std::vector<char> buf(16384);
  for (;;) {
    DWORD n = GetPrivateProfileStringA(section, nullptr, nullptr, buf.data(), static_cast<DWORD>(buf.size()), file.c_str());
    if (n + 2 < buf.size() || buf.size() >= (1u << 24)) {
      std::vector<AnsiString> out;
      for (const char* p = buf.data(); *p; p += std::strlen(p) + 1) out.emplace_back(p);
      return out;
    }
    buf.resize(buf.size() * 4);
  }
}

}  // namespace

AnsiString TIniFile::ReadString(const AnsiString& section, const AnsiString& key, const AnsiString& defaultValue) const {
  char buf[2048];
  DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buf, sizeof buf, FileName.c_str());
  return AnsiString(buf, n);
}

int TIniFile::ReadInteger(const AnsiString& section, const AnsiString& key, int defaultValue) const {
  AnsiString s = ReadString(section, key, "");
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s = "$" + s.substr(2);
  return StrToIntDef(s, defaultValue);
}

bool TIniFile::ReadBool(const AnsiString& section, const AnsiString& key, bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(const AnsiString& section, const AnsiString& key, const AnsiString& value) {
  if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), FileName.c_str())) Fail(FileName);
}

void TIniFile::WriteInteger(const AnsiString& section, const AnsiString& key, int value) {
  WriteString(section, key, IntToStr(value));
}

void TIniFile::WriteBool(const AnsiString& section, const AnsiString& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::ReadSection(const AnsiString& section, TStringList& keys) const {
  keys.Clear();
  for (const auto& k : ReadList(section.c_str(), FileName)) keys.Add(k);
}

void TIniFile::ReadSections(TStringList& sections) const {
  sections.Clear();
  for (const auto& s : ReadList(nullptr, FileName)) sections.Add(s);
}

void TIniFile::ReadSectionValues(const AnsiString& section, TStringList& values) const {
  values.Clear();
  for (const auto& k : ReadList(section.c_str(), FileName)) values.Add(k + "=" + ReadString(section, k, ""));
}

bool TIniFile::SectionExists(const AnsiString& section) const { return !ReadList(section.c_str(), FileName).empty(); }

bool TIniFile::ValueExists(const AnsiString& section, const AnsiString& key) const {
  for (const auto& k : ReadList(section.c_str(), FileName))
    if (SameText(k, key)) return true;
  return false;
}

void TIniFile::EraseSection(const AnsiString& section) {
  if (!WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, FileName.c_str())) Fail(FileName);
}

void TIniFile::DeleteKey(const AnsiString& section, const AnsiString& key) {
  WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, FileName.c_str());
}

void TIniFile::UpdateFile() { WritePrivateProfileStringA(nullptr, nullptr, nullptr, FileName.c_str()); }
