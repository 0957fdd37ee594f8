// TIniFile: an ini file read and written through the Windows profile functions.
#pragma once

#include <vcl/Classes.h>

class PF_API EIniFileException : public Exception {
 public:
  using Exception::Exception;
};

class PF_API TIniFile : public TObject {
 public:
  // A bare file name is the Windows folder's file.
  explicit TIniFile(const AnsiString& fileName) : FileName(fileName) {}

  // At most 2,047 characters; the default when the file, section or key is missing.
  AnsiString ReadString(const AnsiString& section, const AnsiString& key, const AnsiString& defaultValue) const;
  // Decimal, or hexadecimal after "0x", "0X" or "$"; the default for a missing key or a non-number.
  int ReadInteger(const AnsiString& section, const AnsiString& key, int defaultValue) const;
  bool ReadBool(const AnsiString& section, const AnsiString& key, bool defaultValue) const;
  // Writes raise EIniFileException ("Unable to write to <file>") when the file cannot be written.
  void WriteString(const AnsiString& section, const AnsiString& key, const AnsiString& value);
  void WriteInteger(const AnsiString& section, const AnsiString& key, int value);
  void WriteBool(const AnsiString& section, const AnsiString& key, bool value);
  void ReadSection(const AnsiString& section, TStringList& keys) const;
  void ReadSections(TStringList& sections) const;
  void ReadSectionValues(const AnsiString& section, TStringList& values) const;
  bool SectionExists(const AnsiString& section) const;
  bool ValueExists(const AnsiString& section, const AnsiString& key) const;
  void EraseSection(const AnsiString& section);
  void DeleteKey(const AnsiString& section, const AnsiString& key);
  void UpdateFile();  // flush the platform's cached copy

  const AnsiString FileName;
};
