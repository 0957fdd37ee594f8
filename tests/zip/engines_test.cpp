// The engine libraries: where they are found, what is reported while loading, versions, and the
// callback's translation of every action code.
#include <vcl/Forms.h>

#include <pinforge/addr32.h>
#include <pinforge/machine.h>

#include "TestMachine.h"
#include "ZipFixture.h"

using namespace testing_support;
using namespace ZipKeeper;

namespace {


}  // namespace

TEST(Engines, LoadingFindsReportsAndKeepsTheLibraries) {
  TestMachine m;
  Unloaded unloaded;
  TestZipKeeper zip;
  zip.Unattended = true;
  WriteFile(m.C() / "broken" / "UNZENG.DLL", "not a library");
  zip.SetDLLDirectory("C:\\broken");
  EXPECT_EQ(zip.GetUnzVers(), 0);  // found but not loadable
  EXPECT_EQ(zip.messages, (std::vector<std::string>{"0 " + MessageText(10704)}));
  EXPECT_FALSE(TZipKeeper::UnzEngineLoaded());

  zip.messages.clear();
  zip.SetDLLDirectory(EngineDir("v150") + "\\");
  zip.Trace = true;
  EXPECT_EQ(zip.GetUnzVers(), 150);
  EXPECT_EQ(zip.GetZipVers(), 150);
  EXPECT_EQ(zip.messages, (std::vector<std::string>{"0 " + MessageText(10701), "0 " + MessageText(10601)}));
  EXPECT_FALSE(TZipKeeper::UnzEngineLoaded());  // a query releases what it loaded

  zip.Trace = false;
  zip.SetDLLDirectory(EngineDir("v152"));
  zip.Load_Unz_Eng();
  ASSERT_TRUE(TZipKeeper::UnzEngineLoaded());
  EXPECT_EQ(zip.GetUnzVers(), 152);
  EXPECT_TRUE(TZipKeeper::UnzEngineLoaded());  // loaded in advance: it stays
  {
    TestZipKeeper other;  // the slots are the process's
    EXPECT_EQ(other.GetUnzVers(), 152);
  }
  EXPECT_TRUE(TZipKeeper::UnzEngineLoaded());  // a destroyed component leaves the library loaded
  TZipKeeper::Unload_Unz_Eng();
  EXPECT_FALSE(TZipKeeper::UnzEngineLoaded());
  EXPECT_EQ(TZipKeeper::UnzEngExec(), nullptr);

  // A folder without the library: the plain name through the system search (here the program's
  // folder, which holds the real engine), without a message.
  zip.messages.clear();
  zip.SetDLLDirectory("C:\\empty");
  EXPECT_GE(zip.GetUnzVers(), 152);
  EXPECT_TRUE(zip.messages.empty());

  struct {
    const char* variant;
    int code;
    bool exec;
    int version;
  } missing[] = {{"noexec", 10702, false, 152}, {"noversion", 10703, true, 0}};
  for (const auto& c : missing) {
    zip.messages.clear();
    zip.SetDLLDirectory(EngineDir(c.variant));
    zip.Load_Unz_Eng();
    EXPECT_TRUE(TZipKeeper::UnzEngineLoaded()) << c.variant;  // it stays loaded
    EXPECT_EQ(zip.messages, (std::vector<std::string>{"0 " + MessageText(c.code)}));
    EXPECT_EQ(TZipKeeper::UnzEngExec() != nullptr, c.exec);
    EXPECT_EQ(zip.GetUnzVers(), c.version);  // never through a missing entry point
    TZipKeeper::Unload_Unz_Eng();
  }
  zip.OnMessage = [](TObject*, int, const AnsiString&) { throw std::runtime_error("handler fails"); };
  zip.SetDLLDirectory("C:\\empty");
  SetCurrentDir("C:\\");
  SetErrorMode(SEM_NOOPENFILEERRORBOX);
  EXPECT_NO_THROW(zip.Load_Unz_Eng());  // swallowed, and the error mode restored
  EXPECT_EQ(SetErrorMode(0), SEM_NOOPENFILEERRORBOX);
}

TEST(Engines, TheCallbackTurnsEveryActionIntoEvents) {
  TestMachine m;
  Unloaded unloaded;
  TestZipKeeper zip;
  zip.Trace = true;
  zip.Unattended = true;
  zip.SetDLLDirectory(EngineDir("v152"));
  zip.Load_Unz_Eng();
  ASSERT_NE(TZipKeeper::UnzEngExec(), nullptr);
  std::vector<std::string> progress;
  zip.OnProgress = [&](TObject*, ProgressType t, const AnsiString& name, int size) {
    progress.push_back(std::to_string(t) + " " + name + " " + std::to_string(size));
  };
  zip.messages.clear();
  char record[512] = {};
  auto& head = *reinterpret_cast<CallBack::EngineHead*>(record);
  zip.FillEngineHead(head);
  EXPECT_EQ(TZipKeeper::UnzEngExec()(record), 9);
  EXPECT_EQ(progress, (std::vector<std::string>{"3  2", "4  300", "0 dir\\a.txt 100", "1  100", "2  0"}));
  EXPECT_EQ(zip.messages, (std::vector<std::string>{"384 bad CRC in dir\\a.txt", "0 Unzipped file dir\\a.txt"}));
  EXPECT_EQ(zip.ErrCode(), -128);  // the low byte of 384, signed
  EXPECT_EQ(zip.EngineErrCode(), 384);
  EXPECT_EQ(zip.LastMessage(), "Unzipped file dir\\a.txt");
  EXPECT_EQ(zip.BatchTotalBytes(), 300);

  auto headOf = reinterpret_cast<void (*)(CallBack::EngineHead*)>(GetProcAddress(GetModuleHandleA("UNZENG.DLL"), "TestEngineHead"));
  ASSERT_NE(headOf, nullptr);
  CallBack::EngineHead seen;
  headOf(&seen);
  EXPECT_EQ(seen.OwnerWindow, Application->Handle());
  EXPECT_EQ(seen.Version, 152u);
  EXPECT_EQ(seen.Trace, 1u);
  EXPECT_EQ(pinforge::addr32::FromField(seen.Callback), reinterpret_cast<void*>(&TZipKeeper::ZCallback));

  // Without OnProgress the total still lands in BatchTotalBytes; Cancel stops at the next callback.
  zip.OnProgress = nullptr;
  zip.FillEngineHead(head);
  zip.OnMessage = [&](TObject*, int, const AnsiString&) { zip.Cancel = true; };
  EXPECT_EQ(TZipKeeper::UnzEngExec()(record), 5);  // stopped right after the first message
  EXPECT_EQ(zip.BatchTotalBytes(), 300);
}
