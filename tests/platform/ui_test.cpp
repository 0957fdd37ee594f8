// The UI backends: scripted answers, defaults without a script, and the transcript.
#include <win32/windows.h>

#include <pinforge/ui.h>
#include <vcl/Dialogs.h>
#include <vcl/Forms.h>

#include "TestMachine.h"

using namespace testing_support;

TEST(Ui, ScriptAnswersInOrderAndEveryBoxIsInTheTranscript) {
  TestMachine m({"# a comment line", "Cancel", "retry", "Yes", "typed text", "C:\\Pinforge\\Pinforge.exe", "Nonsense"});
  EXPECT_EQ(pinforge::ui::BackendName(), "script");
  EXPECT_EQ(MessageBoxA(0, "Can't find current path, find it ?", "Message Box", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxA(0, "Disk?", "Drive", MB_RETRYCANCEL | MB_ICONEXCLAMATION), IDRETRY);
  EXPECT_EQ(Application->MessageBox("Sure?", "Q", MB_YESNOCANCEL | MB_ICONQUESTION), IDYES);
  EXPECT_EQ(InputBox("Label", "New label:", "old"), "typed text");
  EXPECT_EQ(pinforge::ui::FileDialog({}).value_or("<cancel>"), "C:\\Pinforge\\Pinforge.exe");
  EXPECT_EQ(MessageBoxA(0, "x", "y", MB_YESNO | MB_DEFBUTTON2), IDNO);  // not a button: the default
  EXPECT_EQ(MessageBoxA(0, "x", "y", MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);  // script used up
  auto log = m.Transcript();
  ASSERT_EQ(log.size(), 7u);
  EXPECT_EQ(log[0], BoxLine("Message Box", "Can't find current path, find it ?", "OKCANCEL", "none", "OK", 0, "Cancel"));
  EXPECT_EQ(log[1], BoxLine("Drive", "Disk?", "RETRYCANCEL", "warning", "Retry", 0, "Retry"));
  EXPECT_EQ(log[2], BoxLine("Q", "Sure?", "YESNOCANCEL", "question", "Yes", Application->Handle(), "Yes"));
  EXPECT_EQ(log[3], "{\"event\":\"inputbox\",\"caption\":\"Label\",\"prompt\":\"New label:\",\"value\":\"old\",\"answer\":\"typed text\"}");
  EXPECT_EQ(log[4], "{\"event\":\"filedialog\",\"title\":\"\",\"filter\":\"\",\"save\":false,\"answer\":\"C:\\\\Pinforge\\\\Pinforge.exe\"}");
}

TEST(Ui, WithoutScriptOrTerminalEveryQuestionTakesItsDefault) {
  TestMachine m;
  setenv("PINFORGE_UI", "default", 1);
  pinforge::machine::Reload();
  EXPECT_EQ(MessageBoxA(0, "t", "c", MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
  EXPECT_EQ(MessageBoxA(0, "t", "c", MB_ABORTRETRYIGNORE | MB_DEFBUTTON2 | MB_ICONSTOP), IDRETRY);
  EXPECT_EQ(MessageBoxA(0, "t\xE9", nullptr, MB_OK), IDOK);
  AnsiString value = "keep";
  EXPECT_FALSE(InputQuery("c", "p", value));
  EXPECT_EQ(value, "keep");
  auto log = m.Transcript();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[1], BoxLine("c", "t", "ABORTRETRYIGNORE", "stop", "Retry", 0, "Retry"));
  EXPECT_EQ(log[2], BoxLine("Error", "t\xC3\xA9", "OK", "none", "OK", 0, "OK"));  // UTF-8 in the transcript
}

TEST(Ui, ABoxNobodyAnswersIsCancelledAfterAHundredDefaults) {
  TestMachine m({"OK"});
  int asked = 0;
  // A prompt that repeats while its default is OK, as a disk prompt with the wrong disk in does.
  while (asked < 1000 && MessageBoxA(0, "Insert disk 2", "Drive", MB_OKCANCEL) == IDOK) ++asked;
  EXPECT_EQ(asked, 101);  // the script's OK, then a hundred defaults
  EXPECT_EQ(MessageBoxA(0, "Another box", "Drive", MB_OKCANCEL), IDOK);  // a new question starts afresh
}
