// TestDLL through the loaded Quillport.dll on machines of every kind the table names.
#include <win32/windows.h>

#include <vcl/Registry.h>

#include "TestMachine.h"

using namespace testing_support;

namespace {

const char* kKey = "\\SYSTEM\\CurrentControlSet\\Services\\rarEV";

std::string Box(const std::string& text) { return BoxLine("", text, "OK", "none", "OK", 0, "OK"); }

int CallTestDLL() {
  HMODULE lib = LoadLibraryA("Quillport");
  auto testDll = reinterpret_cast<int (*)()>(GetProcAddress(lib, "TestDLL"));
  int result = testDll ? testDll() : -99;
  FreeLibrary(lib);
  return result;
}

}  // namespace

TEST(Quillport, InstallsTheDriverServiceWhereItCan) {
  struct Case {
    const char* name;
    std::string system;  // machine.ini [System] lines
    std::string existing;  // a service written before the call, as registry text
    int result;
    std::vector<std::string> boxes;
    bool registered;  // rarEV is registered by this call
  };
  std::string other = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Other]\r\n\"Type\"=dword:00000010\r\n"
                      "\"DisplayName\"=\"rarEV\"\r\n\r\n";
  std::string present = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\RAREV]\r\n\"Type\"=dword:00000001\r\n"
                        "\"Start\"=dword:00000003\r\n\r\n";
  std::vector<Case> cases = {
      {"NT administrator", "Platform=NT\r\nAdmin=1\r\n", "", 1, {Box("Install I/O driver success.")}, true},
      {"Windows 9x", "Platform=9x\r\nAdmin=1\r\n", "", 1, {}, false},
      {"Windows 9x, no administrator", "Platform=9x\r\nAdmin=0\r\n", "", 1, {}, false},
      {"NT, not an administrator", "Platform=NT\r\nAdmin=0\r\n", "", 0, {Box("Connect to the SCM fails.")}, false},
      {"service present (any letter case)", "Platform=NT\r\n", present, 2, {}, false},
      {"display name taken", "Platform=NT\r\n", other, 0, {Box("Please run setup again.")}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestMachine m;
    m.Configure("[System]\r\n" + c.system);
    WriteFile(m.Root() / "system.reg", "REGEDIT4\r\n\r\n" + c.existing);
    std::string before = ReadFile(m.Root() / "system.reg");
    EXPECT_EQ(CallTestDLL(), c.result);
    EXPECT_EQ(m.Transcript(), c.boxes);
    if (!c.registered) {
      EXPECT_EQ(ReadFile(m.Root() / "system.reg"), before);
      continue;
    }
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
    EXPECT_EQ(reg.ReadInteger("Type"), 1);
    EXPECT_EQ(reg.ReadInteger("Start"), 2);
    EXPECT_EQ(reg.ReadInteger("ErrorControl"), 1);
    EXPECT_EQ(reg.GetDataType("ImagePath"), rdExpandString);
    EXPECT_EQ(reg.ReadString("ImagePath"), "C:\\WINDOWS\\SYSTEM32\\DRIVERS\\rarEV.SYS");
    EXPECT_EQ(reg.ReadString("Group"), "rarEV");
    EXPECT_EQ(reg.ReadString("DisplayName"), "rarEV");
    reg.CloseKey();
    // A second call finds the service and says nothing.
    EXPECT_EQ(CallTestDLL(), 2);
    EXPECT_EQ(m.Transcript().size(), c.boxes.size());
  }
}

TEST(Quillport, TheBinaryPathFollowsTheSystemFolder) {
  TestMachine m;
  m.Configure("[System]\r\nWindowsDir=C:\\WINNT\r\nSystemDir=C:\\WINNT\\System32\r\n");
  EXPECT_EQ(CallTestDLL(), 1);
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
  EXPECT_EQ(reg.ReadString("ImagePath"), "C:\\WINNT\\System32\\DRIVERS\\rarEV.SYS");
}

TEST(ServiceManager, HandlesAndArgumentsAreChecked) {
  TestMachine m;
  EXPECT_FALSE(CloseServiceHandle(0x1234));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(OpenServiceA(0x1234, "x", SERVICE_QUERY_STATUS), 0u);
  SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  ASSERT_NE(scm, 0u);
  EXPECT_EQ(CreateServiceA(scm, "x", nullptr, 0, 1, 2, 1, "C:\\x.sys", nullptr, nullptr, nullptr, nullptr, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);  // a handle without the right to create
  CloseServiceHandle(scm);
  scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  EXPECT_EQ(OpenServiceA(scm, "missing", SERVICE_QUERY_STATUS), 0u);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
  for (const char* bad : {"", "a\\b", "a/b"}) {
    EXPECT_EQ(CreateServiceA(scm, bad, nullptr, 0, 1, 2, 1, "C:\\x.sys", nullptr, nullptr, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
  }
  EXPECT_EQ(CreateServiceA(scm, "svc", nullptr, 0, 7, 2, 1, "C:\\x.sys", nullptr, nullptr, nullptr, nullptr, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  SC_HANDLE svc = CreateServiceA(scm, "svc", "Service", 0, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, 1,
                                 "C:\\svc.exe", nullptr, nullptr, "dep1\0dep2\0", nullptr, nullptr);
  ASSERT_NE(svc, 0u);
  EXPECT_EQ(CreateServiceA(scm, "SVC", nullptr, 0, 1, 2, 1, "C:\\x.sys", nullptr, nullptr, nullptr, nullptr, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_EXISTS);
  EXPECT_TRUE(CloseServiceHandle(svc));
  EXPECT_TRUE(CloseServiceHandle(scm));
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\SYSTEM\\CurrentControlSet\\Services\\svc"));
  EXPECT_EQ(reg.ReadString("ObjectName"), "LocalSystem");
  EXPECT_EQ(reg.ReadInteger("Start"), 3);
}
