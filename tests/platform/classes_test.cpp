// Component ownership and the lists.
#include <vcl/Classes.h>
#include <vcl/Forms.h>

#include <thread>

#include <gtest/gtest.h>

namespace {
struct Probe : TComponent {
  Probe(TComponent* owner, std::vector<std::string>& log, std::string name) : TComponent(owner), log_(log) { Name = name; }
  ~Probe() override { log_.push_back(Name); }
  std::vector<std::string>& log_;
};
}  // namespace

TEST(Component, OwnerFreesWhatItOwns) {
  std::vector<std::string> freed;
  auto* root = new Probe(nullptr, freed, "root");
  auto* a = new Probe(root, freed, "a");
  new Probe(a, freed, "a1");
  auto* b = new Probe(root, freed, "b");
  EXPECT_EQ(root->ComponentCount(), 2);
  EXPECT_EQ(root->FindComponent("B"), b);
  delete b;  // leaves its owner's list
  EXPECT_EQ(root->ComponentCount(), 1);
  delete root;
  // Each destructor body runs before its base frees the owned components.
  EXPECT_EQ(freed, (std::vector<std::string>{"b", "root", "a", "a1"}));
}

TEST(Lists, StringListAndPointerList) {
  TStringList s;
  s.SetSorted(true);
  for (const char* x : {"pear", "Apple", "apple", "fig"}) s.Add(x);
  EXPECT_EQ(s.CommaText(), "Apple,fig,pear");  // duplicates ignored, case-insensitive
  EXPECT_EQ(s.IndexOf("PEAR"), 2);
  TStringList v;
  v.SetCommaText("a=1,\"b c=2\",\"say \"\"hi\"\"\"");
  EXPECT_EQ(v.Count(), 3);
  EXPECT_EQ(v.Values("B C"), "2");
  EXPECT_EQ(v.Strings(2), "say \"hi\"");
  EXPECT_EQ(v.CommaText(), "a=1,\"b c=2\",\"say \"\"hi\"\"\"");
  v.SetText("x\r\ny\nz");
  EXPECT_EQ(v.Text(), "x\r\ny\r\nz\r\n");
  EXPECT_THROW(v.Strings(3), EListError);

  TList l;
  int a = 1, b = 2;
  l.Add(&a);
  l.Add(nullptr);
  l.Add(&b);
  l.Pack();
  EXPECT_EQ(l.Count(), 2);
  EXPECT_EQ(l.Last(), &b);
  EXPECT_EQ(l.Remove(&a), 0);
  EXPECT_THROW(l.Items(5), EListError);
}

namespace {
std::atomic<int> gFreed{0};
struct Worker : TThread {
  explicit Worker(bool suspended, bool selfFreeing = false) : TThread(suspended) { FreeOnTerminate = selfFreeing; }
  ~Worker() override { ++gFreed; }
  void Execute() override {
    while (!Terminated() && !stop) std::this_thread::yield();
    Synchronize([this] { onMain = std::this_thread::get_id(); });
    ReturnValue = 42;
    if (fail) throw Exception("worker failed");
  }
  std::atomic<bool> stop{false};
  bool fail = false;
  std::thread::id onMain;
};
}  // namespace

TEST(Thread, RunsSynchronizesWaitsAndFreesItself) {
  Worker* w = TThread::New<Worker>(false);
  w->stop = true;
  EXPECT_EQ(w->WaitFor(), 42);
  EXPECT_TRUE(w->Finished());
  EXPECT_EQ(w->onMain, std::this_thread::get_id());  // Synchronize ran on this, the main thread
  EXPECT_NE(w->ThreadID(), 0u);
  delete w;

  Worker* suspended = TThread::New<Worker>(true);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(suspended->Finished());  // not started yet
  suspended->fail = true;
  suspended->Resume();
  suspended->Terminate();
  suspended->WaitFor();
  EXPECT_EQ(suspended->FatalException, "worker failed");
  delete suspended;

  int before = gFreed;
  bool terminated = false;
  Worker* self = TThread::New<Worker>(true, true);
  self->OnTerminate = [&](TObject*) { terminated = true; };
  self->stop = true;
  self->Resume();
  for (int i = 0; i < 500 && gFreed == before; ++i) {
    Application->ProcessMessages();  // serves Synchronize and OnTerminate
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(gFreed, before + 1);
  EXPECT_TRUE(terminated);
  Worker* never = TThread::New<Worker>(true);
  delete never;  // a thread that never ran is ended and waited for
}
