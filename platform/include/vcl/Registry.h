// TRegistry: keys and values of the machine's registry.
#pragma once

#include <win32/windows.h>

#include <vcl/Classes.h>

class PF_API ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

class PF_API TRegistry : public TObject {
 public:
  TRegistry();
  ~TRegistry() override;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return root_; }
  void SetRootKey(HKEY root);
  HKEY CurrentKey() const { return current_; }
  const AnsiString& CurrentPath() const { return path_; }

  // A key starting with "\" is taken from the root, otherwise from the current key.
  bool OpenKey(const AnsiString& key, bool canCreate);
  bool OpenKeyReadOnly(const AnsiString& key);
  void CloseKey();
  bool CreateKey(const AnsiString& key);
  bool DeleteKey(const AnsiString& key);
  bool KeyExists(const AnsiString& key);
  bool HasSubKeys();
  void GetKeyNames(TStringList& names);
  void GetValueNames(TStringList& names);

  bool ValueExists(const AnsiString& name);
  bool DeleteValue(const AnsiString& name);
  TRegDataType GetDataType(const AnsiString& name);
  // An absent value reads as "" ; a value of another type raises ERegistryException.
  AnsiString ReadString(const AnsiString& name);
  void WriteString(const AnsiString& name, const AnsiString& value);
  void WriteExpandString(const AnsiString& name, const AnsiString& value);
  int ReadInteger(const AnsiString& name);  // ERegistryException when absent or not an integer
  void WriteInteger(const AnsiString& name, int value);
  bool ReadBool(const AnsiString& name) { return ReadInteger(name) != 0; }
  void WriteBool(const AnsiString& name, bool value) { WriteInteger(name, value ? 1 : 0); }

 private:
  HKEY Base(const AnsiString& key, AnsiString& relative) const;
  void PutData(const AnsiString& name, DWORD type, const void* data, DWORD size);
  HKEY root_ = HKEY_CURRENT_USER;
  HKEY current_ = 0;
  AnsiString path_;
};
