// The component's properties, setters and messages.
#include <vcl/Forms.h>

#include "TestMachine.h"
#include "ZipFixture.h"

using namespace testing_support;
using namespace ZipKeeper;

TEST(Component, DefaultsAndSetters) {
  TestMachine m;
  TestZipKeeper zip;
  EXPECT_EQ(zip.GetCount(), 0);
  EXPECT_EQ(zip.GetZipComment(), "");
  EXPECT_EQ(zip.MinFreeVolumeSize(), 65536);
  EXPECT_EQ(zip.AddCompLevel, 9);
  EXPECT_EQ(zip.SFXOptions, SFXOpts{SFXCheckSize});
  EXPECT_TRUE(zip.ConfirmErase);
  EXPECT_EQ(zip.HowToDelete, htdAllowUndo);
  EXPECT_EQ(zip.CodePage, cpAUTO);
  EXPECT_EQ(zip.SFXCaption, "Self-extracting Archive");
  EXPECT_EQ(zip.OwnerWindow(), Application->Handle());
  EXPECT_TRUE(zip.AddOptions.Empty() && zip.ExtrOptions.Empty());

  zip.SetDLLDirectory("C:\\Engines\\");
  EXPECT_EQ(zip.DLLDirectory(), "C:\\Engines");
  zip.SetDLLDirectory("C:\\Engines");  // the same value again: nothing changes
  EXPECT_EQ(zip.DLLDirectory(), "C:\\Engines");
  zip.SetMaxVolumeSize(1000);
  zip.SetMaxVolumeSize(-1);
  EXPECT_EQ(zip.MaxVolumeSize(), 1000);
  zip.SetFreeOnDisk1(-5);
  EXPECT_EQ(zip.KeepFreeOnDisk1(), 0);
  zip.SetMinFreeVolSize(0);
  EXPECT_EQ(zip.MinFreeVolumeSize(), 65536);
  TStringList specs;
  specs.Add("*.txt");
  TStringList* own = &zip.FSpecArgs();
  zip.SetFSpecArgs(specs);
  EXPECT_EQ(&zip.FSpecArgs(), own);  // the list object stays, its strings are copied
  EXPECT_EQ(zip.FSpecArgs().CommaText(), "*.txt");

  zip.SetFileName("C:\\missing.zip");
  EXPECT_EQ(zip.GetCount(), 0);
  EXPECT_EQ(zip.dirUpdates, 1);
  EXPECT_TRUE(zip.messages.empty());  // no message for a missing file
  WriteFile(m.C() / "one.zip", BuildZip({{"a.txt", "x"}}));
  zip.SetFileName("C:\\one.zip");
  EXPECT_EQ(zip.GetCount(), 1);
  zip.SetFileName("");
  EXPECT_EQ(zip.GetCount(), 0);  // an empty name counts nothing, whatever is held

  TestZipKeeper designing;
  designing.SetComponentState(csDesigning);
  designing.SetFileName("C:\\one.zip");
  EXPECT_EQ(designing.ZipFileName(), "C:\\one.zip");
  EXPECT_EQ(designing.dirUpdates, 0);  // the name is only stored
  Register();
  ASSERT_FALSE(RegisteredComponents().empty());
  EXPECT_EQ(RegisteredComponents().back().className, "TZipKeeper");
  EXPECT_EQ(RegisteredComponents().back().page, "Components");
}

TEST(Messages, BoxesEventsAndTexts) {
  TestMachine m;
  TestZipKeeper zip;
  zip.ShowZipMessage(10102, "");
  EXPECT_EQ(zip.ErrCode(), 10102);
  EXPECT_EQ(zip.LastMessage(), "The archive file does not exist.");
  EXPECT_EQ(zip.messages, (std::vector<std::string>{"0 The archive file does not exist."}));
  auto log = m.Transcript();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], BoxLine(Application->Title(), "The archive file does not exist.", "OK", "none", "OK", Application->Handle(), "OK"));

  zip.Unattended = true;
  zip.ShowZipMessage(10100, "\r\nsuffix");  // a code without a text: the fallback names it
  EXPECT_EQ(zip.LastMessage(), "ZipKeeper.res is probably not bound to executable\nMissing String ID is: 10100\r\nsuffix");
  EXPECT_EQ(zip.ErrCode(), 10100);
  EXPECT_EQ(m.Transcript().size(), 1u);  // no box while unattended

  zip.Unattended = false;
  zip.ShowExceptionError(EZipKeeper(11007, false));
  EXPECT_EQ(m.Transcript().size(), 1u);  // not shown, but reported
  EXPECT_EQ(zip.ErrCode(), 11007);
  EXPECT_EQ(zip.messages.back(), "0 " + MessageText(11007));

  EXPECT_EQ(EZipKeeper(11038, 3).Message, "This is disk 3 of a set; please insert the last disk.");
  EXPECT_EQ(EZipKeeper(11004, AnsiString("A")).Message, "Drive A is not present.");
  EXPECT_EQ(EZipKeeper(10999, 3).Message, FallbackText(10999));  // without a text, without the argument
  EXPECT_TRUE(EZipKeeper(11038, 3).Display);
  EXPECT_EQ(EZipKeeper(11038, 3).ResourceCode, 11038);
}

TEST(Messages, EveryCodeHasATextThatFitsItsArguments) {
  // Codes raised with an argument, and the argument they take.
  std::map<int, char> withArgument = {{11003, 's'}, {11004, 's'}, {11035, 's'}, {11038, 'd'},
                                      {11039, 's'}, {11040, 'd'}, {11046, 'd'}};
  std::vector<int> codes = {10101, 10102, 10103, 10104, 10105, 10150, 10151, 10201, 10202, 10203, 10204, 10301,
                            10302, 10303, 10401, 10501, 10502, 10601, 10602, 10603, 10604, 10701, 10702, 10703,
                            10704, 10801, 10802, 10803, 10901, 10902, 10903};
  for (int c = 11001; c <= 11046; ++c) codes.push_back(c);
  for (int code : codes) {
    AnsiString text = MessageText(code);
    EXPECT_NE(text, FallbackText(code)) << code;
    int directives = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) directives += text[i] == '%';
    if (code == 11034) {
      EXPECT_EQ(Format(text, 2, 5), "Please insert disk volume 2 of 5");
    } else if (withArgument.count(code)) {
      EXPECT_EQ(directives, 1) << code;
      EXPECT_NO_THROW(withArgument[code] == 's' ? Format(text, "x") : Format(text, 7)) << code;
    } else {
      EXPECT_EQ(directives, 0) << code;
    }
  }
  struct {
    int code;
    const char* text;
  } defaults[] = {{10105, "Copying: "}, {11032, "This disk has not enough free space available"},
                  {11033, "Please insert last disk in set"}, {11034, "Please insert disk volume %.1d of %.1d"},
                  {11035, "\nin drive: %s"}, {11039, "Overwrite previous file %s"}, {11040, "Overwrite previous disk no %d"},
                  {11046, "Please insert disk volume %.1d"}};
  for (const auto& d : defaults) EXPECT_EQ(MessageText(d.code), d.text) << d.code;
}
