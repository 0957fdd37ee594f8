// The class library's component model and lists.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <initializer_list>
#include <vector>

#include <vcl/SysUtils.h>

using TNotifyEvent = std::function<void(TObject* sender)>;

enum TComponentStateFlag { csLoading = 1, csReading = 2, csWriting = 4, csDestroying = 8, csDesigning = 16 };
enum TOperation { opInsert, opRemove };

// A component frees the components it owns when it is destroyed.
class PF_API TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const;
  TComponent* FindComponent(const AnsiString& name) const;
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  void DestroyComponents();
  int ComponentState() const { return state_; }
  void SetComponentState(int state) { state_ = state; }
  virtual void Loaded() { state_ &= ~csLoading; }

  AnsiString Name;
  int Tag = 0;

 protected:
  virtual void Notification(TComponent* component, TOperation operation);

 private:
  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  int state_ = 0;
};

// The component palette of the design environment: the classes each unit's Register puts on a page.
PF_API void RegisterComponents(const AnsiString& page, std::initializer_list<AnsiString> classNames);
struct TPaletteEntry {
  AnsiString page, className;
};
PF_API std::vector<TPaletteEntry> RegisteredComponents();

// A thread of the class library: Execute runs on a thread of its own; Synchronize runs a call on
// the main thread (served by Application->ProcessMessages and by WaitFor). With FreeOnTerminate the
// object deletes itself when Execute has ended. Threads are made with New, which starts one not
// created suspended once it is fully constructed (as the class library does after construction);
// a suspended one starts with Resume. Delete a thread that has run only after WaitFor, as its
// Execute may still use the derived object.
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class PF_API TThread : public TObject {
 public:
  template <class T, class... Args>
  static T* New(Args&&... args) {
    T* thread = new T(std::forward<Args>(args)...);  // owned by its creator, or by itself (FreeOnTerminate)
    thread->AfterConstruction();
    return thread;
  }
  explicit TThread(bool createSuspended);
  ~TThread() override;  // asks the thread to end and waits for it (unless it frees itself)
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  void Resume();
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  bool Finished() const { return finished_; }
  // Waits for Execute to end, serving Synchronize calls meanwhile; the thread's ReturnValue.
  int WaitFor();
  std::uint32_t ThreadID() const { return threadId_; }
  bool FreeOnTerminate = false;
  TThreadPriority Priority = tpNormal;  // recorded only: the host schedules every thread alike
  TNotifyEvent OnTerminate;  // on the main thread, after Execute
  AnsiString FatalException;  // the message of an exception that ended Execute

  // Runs the calls queued by Synchronize; returns whether it ran any (main thread only).
  static bool CheckSynchronize();

 protected:
  virtual void Execute() = 0;
  void Synchronize(const std::function<void()>& method);
  int ReturnValue = 0;

 private:
  void Run();
  void AfterConstruction();
  bool createSuspended_;
  struct State;
  std::shared_ptr<State> state_;
  std::atomic<bool> terminated_{false}, finished_{false};
  std::atomic<std::uint32_t> threadId_{0};
};

// A list of untyped pointers.
class PF_API TList : public TObject {
 public:
  int Add(void* item);
  void Insert(int index, void* item);
  void Delete(int index);
  int Remove(void* item);
  int IndexOf(void* item) const;
  void Clear();
  void Exchange(int a, int b);
  void Pack();  // drops nil items
  void Sort(const std::function<int(void*, void*)>& compare);
  int Count() const { return static_cast<int>(items_.size()); }
  void* Items(int index) const;
  void SetItem(int index, void* item);
  void* First() const { return Items(0); }
  void* Last() const { return Items(Count() - 1); }

 private:
  void Check(int index) const;
  std::vector<void*> items_;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

// Strings with an object each; case-insensitive look-up, optionally kept sorted.
class PF_API TStringList : public TObject {
 public:
  int Add(const AnsiString& s);
  int AddObject(const AnsiString& s, TObject* object);
  void Insert(int index, const AnsiString& s);
  void Delete(int index);
  void Clear();
  void Exchange(int a, int b);
  int IndexOf(const AnsiString& s) const;
  int IndexOfName(const AnsiString& name) const;
  bool Find(const AnsiString& s, int& index) const;  // binary search of a sorted list
  void Sort();
  int Count() const { return static_cast<int>(items_.size()); }
  const AnsiString& Strings(int index) const;
  void SetString(int index, const AnsiString& s);
  TObject* Objects(int index) const;
  void SetObject(int index, TObject* object);
  AnsiString Names(int index) const;
  AnsiString Values(const AnsiString& name) const;
  void SetValue(const AnsiString& name, const AnsiString& value);
  AnsiString Text() const;  // each string followed by CR LF
  void SetText(const AnsiString& text);
  AnsiString CommaText() const;
  void SetCommaText(const AnsiString& text);
  void Assign(const TStringList& other);
  void LoadFromFile(const AnsiString& fileName);  // EInOutError when it cannot be read
  void SaveToFile(const AnsiString& fileName) const;

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates = dupIgnore;
  bool CaseSensitive = false;

 private:
  struct Item {
    AnsiString s;
    TObject* object;
  };
  void Check(int index) const;
  int Compare(const AnsiString& a, const AnsiString& b) const;
  std::vector<Item> items_;
  bool sorted_ = false;
};
using TStrings = TStringList;
