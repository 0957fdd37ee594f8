#include <vcl/Classes.h>

#include <algorithm>

#include "text.h"

// ---- TComponent ------------------------------------------------------------------------------

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  state_ |= csDestroying;
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) throw EListError(Format("List index out of bounds (%d)", index));
  return components_[static_cast<std::size_t>(index)];
}

TComponent* TComponent::FindComponent(const AnsiString& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->Name, name)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (component->owner_) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  auto it = std::find(components_.begin(), components_.end(), component);
  if (it == components_.end()) return;
  Notification(component, opRemove);
  components_.erase(it);
  component->owner_ = nullptr;
}

void TComponent::DestroyComponents() {
  // Last created first, as the class library frees them.
  while (!components_.empty()) {
    TComponent* c = components_.back();
    RemoveComponent(c);
    delete c;
  }
}

void TComponent::Notification(TComponent*, TOperation) {}

// ---- the palette -------------------------------------------------------------------------------

namespace {
std::vector<TPaletteEntry>& Palette() {
  static auto* p = new std::vector<TPaletteEntry>();
  return *p;
}
}  // namespace

void RegisterComponents(const AnsiString& page, std::initializer_list<AnsiString> classNames) {
  for (const AnsiString& name : classNames) Palette().push_back({page, name});
}

std::vector<TPaletteEntry> RegisteredComponents() { return Palette(); }

// ---- TList -----------------------------------------------------------------------------------

void TList::Check(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
}

int TList::Add(void* item) {
  items_.push_back(item);
  return Count() - 1;
}

void TList::Insert(int index, void* item) {
  if (index < 0 || index > Count()) throw EListError(Format("List index out of bounds (%d)", index));
  items_.insert(items_.begin() + index, item);
}

void TList::Delete(int index) {
  Check(index);
  items_.erase(items_.begin() + index);
}

int TList::Remove(void* item) {
  int i = IndexOf(item);
  if (i >= 0) Delete(i);
  return i;
}

int TList::IndexOf(void* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TList::Clear() { items_.clear(); }

void TList::Exchange(int a, int b) {
  Check(a);
  Check(b);
  std::swap(items_[static_cast<std::size_t>(a)], items_[static_cast<std::size_t>(b)]);
}

void TList::Pack() { items_.erase(std::remove(items_.begin(), items_.end(), nullptr), items_.end()); }

void TList::Sort(const std::function<int(void*, void*)>& compare) {
  std::stable_sort(items_.begin(), items_.end(), [&](void* a, void* b) { return compare(a, b) < 0; });
}

void* TList::Items(int index) const {
  Check(index);
  return items_[static_cast<std::size_t>(index)];
}

void TList::SetItem(int index, void* item) {
  Check(index);
  items_[static_cast<std::size_t>(index)] = item;
}

// ---- TStringList -----------------------------------------------------------------------------

void TStringList::Check(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
}

int TStringList::Compare(const AnsiString& a, const AnsiString& b) const {
  return CaseSensitive ? a.compare(b) : pinforge::text::CompareNoCase(a, b);
}

int TStringList::Add(const AnsiString& s) { return AddObject(s, nullptr); }

int TStringList::AddObject(const AnsiString& s, TObject* object) {
  if (!sorted_) {
    items_.push_back({s, object});
    return Count() - 1;
  }
  int at;
  if (Find(s, at)) {
    if (Duplicates == dupIgnore) return at;
    if (Duplicates == dupError) throw EListError("String list does not allow duplicates");
  }
  items_.insert(items_.begin() + at, {s, object});
  return at;
}

void TStringList::Insert(int index, const AnsiString& s) {
  if (sorted_) throw EListError("Operation not allowed on sorted string list");
  if (index < 0 || index > Count()) throw EListError(Format("List index out of bounds (%d)", index));
  items_.insert(items_.begin() + index, {s, nullptr});
}

void TStringList::Delete(int index) {
  Check(index);
  items_.erase(items_.begin() + index);
}

void TStringList::Clear() { items_.clear(); }

void TStringList::Exchange(int a, int b) {
  Check(a);
  Check(b);
  std::swap(items_[static_cast<std::size_t>(a)], items_[static_cast<std::size_t>(b)]);
}

int TStringList::IndexOf(const AnsiString& s) const {
  if (sorted_) {
    int at;
    return Find(s, at) ? at : -1;
  }
  for (int i = 0; i < Count(); ++i)
    if (Compare(items_[static_cast<std::size_t>(i)].s, s) == 0) return i;
  return -1;
}

int TStringList::IndexOfName(const AnsiString& name) const {
  for (int i = 0; i < Count(); ++i) {
    const AnsiString& s = items_[static_cast<std::size_t>(i)].s;
    auto eq = s.find('=');
    if (eq != AnsiString::npos && Compare(s.substr(0, eq), name) == 0) return i;
  }
  return -1;
}

bool TStringList::Find(const AnsiString& s, int& index) const {
  int lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    int c = Compare(items_[static_cast<std::size_t>(mid)].s, s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (Duplicates != dupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

void TStringList::Sort() {
  std::stable_sort(items_.begin(), items_.end(), [&](const Item& a, const Item& b) { return Compare(a.s, b.s) < 0; });
}

void TStringList::SetSorted(bool sorted) {
  if (sorted && !sorted_) Sort();
  sorted_ = sorted;
}

const AnsiString& TStringList::Strings(int index) const {
  Check(index);
  return items_[static_cast<std::size_t>(index)].s;
}

void TStringList::SetString(int index, const AnsiString& s) {
  if (sorted_) throw EListError("Operation not allowed on sorted string list");
  Check(index);
  items_[static_cast<std::size_t>(index)].s = s;
}

TObject* TStringList::Objects(int index) const {
  Check(index);
  return items_[static_cast<std::size_t>(index)].object;
}

void TStringList::SetObject(int index, TObject* object) {
  Check(index);
  items_[static_cast<std::size_t>(index)].object = object;
}

AnsiString TStringList::Names(int index) const {
  const AnsiString& s = Strings(index);
  auto eq = s.find('=');
  return eq == AnsiString::npos ? AnsiString() : s.substr(0, eq);
}

AnsiString TStringList::Values(const AnsiString& name) const {
  int i = IndexOfName(name);
  return i < 0 ? AnsiString() : items_[static_cast<std::size_t>(i)].s.substr(name.size() + 1);
}

void TStringList::SetValue(const AnsiString& name, const AnsiString& value) {
  int i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
  } else if (i < 0) {
    Add(name + "=" + value);
  } else {
    items_[static_cast<std::size_t>(i)].s = name + "=" + value;
  }
}

AnsiString TStringList::Text() const {
  AnsiString out;
  for (const Item& i : items_) out += i.s + "\r\n";
  return out;
}

void TStringList::SetText(const AnsiString& text) {
  Clear();
  std::size_t pos = 0;
  while (pos < text.size()) {
    auto nl = text.find_first_of("\r\n", pos);
    if (nl == AnsiString::npos) {
      Add(text.substr(pos));
      break;
    }
    Add(text.substr(pos, nl - pos));
    pos = nl + (text[nl] == '\r' && nl + 1 < text.size() && text[nl + 1] == '\n' ? 2 : 1);
  }
}

AnsiString TStringList::CommaText() const {
  AnsiString out;
  for (std::size_t n = 0; n < items_.size(); ++n) {
    const AnsiString& s = items_[n].s;
    if (n) out += ',';
    bool quote = s.empty() || s.find_first_of(" ,\"") != AnsiString::npos ||
                 std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < ' '; });
    if (!quote) {
      out += s;
      continue;
    }
    out += '"';
    for (char c : s) out += c == '"' ? "\"\"" : AnsiString(1, c);
    out += '"';
  }
  return out;
}

void TStringList::SetCommaText(const AnsiString& text) {
  Clear();
  std::size_t i = 0;
  auto blank = [&]() { while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i; };
  blank();
  while (i < text.size()) {
    AnsiString item;
    if (text[i] == '"') {
      ++i;
      while (i < text.size()) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += text[i++];
      }
    } else {
      while (i < text.size() && text[i] != ',' && static_cast<unsigned char>(text[i]) > ' ') item += text[i++];
    }
    Add(item);
    blank();
    if (i < text.size() && text[i] == ',') {
      ++i;
      blank();
    }
  }
}

void TStringList::Assign(const TStringList& other) {
  items_ = other.items_;
  if (sorted_) Sort();
}

void TStringList::LoadFromFile(const AnsiString& fileName) {
  int h = FileOpen(fileName, fmOpenRead | fmShareDenyWrite);
  if (h < 0) throw EInOutError("Cannot open file " + fileName);
  AnsiString all;
  char buf[65536];
  for (int n; (n = FileRead(h, buf, sizeof buf)) > 0;) all.append(buf, static_cast<std::size_t>(n));
  FileClose(h);
  SetText(all);
}

void TStringList::SaveToFile(const AnsiString& fileName) const {
  int h = FileCreate(fileName);
  if (h < 0) throw EInOutError("Cannot create file " + fileName);
  AnsiString all = Text();
  bool ok = FileWrite(h, all.data(), Length(all)) == Length(all);
  FileClose(h);
  if (!ok) throw EInOutError("Cannot write file " + fileName);
}
