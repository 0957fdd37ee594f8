// Component ownership and the lists.
#include <vcl/Classes.h>

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
