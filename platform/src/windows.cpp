#include "windows.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace pinforge::win {
namespace {

struct Window {
  WindowSpec spec;
  DWORD thread = 0;
  bool enabled = true;
  UINT check = BST_UNCHECKED;
};

// A posted message, or a message sent from another thread whose sender waits for the reply.
struct Waiting {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  std::shared_ptr<std::promise<LRESULT>> reply;
};

struct Hook {
  HHOOK handle;
  HOOKPROC procedure;
  DWORD thread;  // 0: every thread
};

// The table is touched under the lock only; procedures and hooks are called without it, since
// they send messages of their own.
std::mutex gMutex;
std::map<HWND, Window>& Table() {
  static auto* t = new std::map<HWND, Window>();
  return *t;
}
std::map<DWORD, std::deque<Waiting>>& Queues() {
  static auto* q = new std::map<DWORD, std::deque<Waiting>>();
  return *q;
}
std::vector<Hook>& Hooks() {  // in the order they were installed
  static auto* h = new std::vector<Hook>();
  return *h;
}
HWND gNext = 0x00010010;
HHOOK gNextHook = 0x00020001;

Window* FindLocked(HWND h) {
  auto it = Table().find(h);
  return it == Table().end() ? nullptr : &it->second;
}

// Copies as much of the text as fits with its NUL; the characters copied.
std::size_t CopyText(const std::string& text, char* buffer, std::size_t size) {
  std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = 0;
  return n;
}

// The window, or null with the last error set.
Window* LookupLocked(HWND h) {
  Window* w = FindLocked(h);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

// The hook after position `from` (exclusive, counting down) that watches the calling thread.
std::optional<Hook> NextHookLocked(std::size_t from) {
  DWORD me = GetCurrentThreadId();
  for (std::size_t i = from; i-- > 0;)
    if (Hooks()[i].thread == me || Hooks()[i].thread == 0) return Hooks()[i];
  return std::nullopt;
}

void CallHooks(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT result, bool sentHere) {
  std::optional<Hook> first;
  {
    std::lock_guard lock(gMutex);
    first = NextHookLocked(Hooks().size());
  }
  if (!first) return;
  CWPRETSTRUCT record{result, lParam, wParam, message, window};
  first->procedure(HC_ACTION, sentHere ? 1 : 0, reinterpret_cast<LPARAM>(&record));
}

// Handles a message on the window's own thread: its procedure, then the hooks.
LRESULT Deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool sentHere) {
  WindowProc proc;
  {
    std::lock_guard lock(gMutex);
    Window* w = FindLocked(window);
    if (!w) return 0;
    proc = w->spec.proc;
  }
  LRESULT result = proc ? proc(window, message, wParam, lParam) : DefaultProc(window, message, wParam, lParam);
  CallHooks(window, message, wParam, lParam, result, sentHere);
  return result;
}

bool DispatchLocked(bool sentOnly, std::unique_lock<std::mutex>& lock) {
  auto& queue = Queues()[GetCurrentThreadId()];
  auto it = std::find_if(queue.begin(), queue.end(), [&](const Waiting& w) { return !sentOnly || w.reply; });
  if (it == queue.end()) return false;
  Waiting m = std::move(*it);
  queue.erase(it);
  lock.unlock();
  LRESULT result = Deliver(m.window, m.message, m.wParam, m.lParam, false);
  if (m.reply) m.reply->set_value(result);
  lock.lock();
  return true;
}

bool DispatchOne(bool sentOnly) {
  std::unique_lock lock(gMutex);
  return DispatchLocked(sentOnly, lock);
}

bool SetEnabled(HWND window, bool enable, bool& wasDisabled) {
  {
    std::lock_guard lock(gMutex);
    Window* w = LookupLocked(window);
    if (!w) return false;
    wasDisabled = !w->enabled;
    if (w->enabled == enable) return true;
    w->enabled = enable;
  }
  SendMessageA(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return true;
}

}  // namespace

HWND Create(const WindowSpec& spec) {
  std::lock_guard lock(gMutex);
  HWND h = gNext;
  gNext += 0x10;
  Table()[h] = {spec, GetCurrentThreadId()};
  return h;
}

HWND Create(const std::string& className, const std::string& caption, HWND owner) {
  WindowSpec spec;
  spec.className = className;
  spec.caption = caption;
  spec.parent = owner;
  return Create(spec);
}

LRESULT DefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::unique_lock lock(gMutex);
  Window* w = FindLocked(window);
  if (!w) return 0;
  switch (message) {
    case WM_SETTEXT:
      w->spec.caption = lParam ? reinterpret_cast<const char*>(lParam) : "";
      return TRUE;
    case WM_GETTEXT: {
      if (wParam == 0 || !lParam) return 0;
      return static_cast<LRESULT>(CopyText(w->spec.caption, reinterpret_cast<char*>(lParam), wParam));
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->spec.caption.size());
    case BM_SETCHECK:
      w->check = static_cast<UINT>(wParam);
      return 0;
    case BM_GETCHECK:
      return w->check;
    case BM_SETSTYLE:
      w->spec.style = (w->spec.style & ~0xFFFFu) | (static_cast<DWORD>(wParam) & 0xFFFF);
      return 0;
    case BM_CLICK: {
      // A disabled or hidden button ignores the click.
      if (!w->enabled || !w->spec.visible || w->spec.className != "Button") return 0;
      if ((w->spec.style & 0xF) == BS_AUTOCHECKBOX) w->check = w->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
      HWND parent = w->spec.parent;
      WPARAM command = static_cast<WPARAM>(static_cast<std::uint16_t>(w->spec.id)) | (static_cast<WPARAM>(BN_CLICKED) << 16);
      lock.unlock();
      if (parent) SendMessageA(parent, WM_COMMAND, command, static_cast<LPARAM>(window));
      return 0;
    }
    default:
      return 0;
  }
}

bool DispatchWaiting() {
  bool any = false;
  while (DispatchOne(false)) any = true;
  return any;
}

}  // namespace pinforge::win

using namespace pinforge::win;

extern "C" {

BOOL WINAPI IsWindow(HWND window) {
  std::lock_guard lock(gMutex);
  return FindLocked(window) ? TRUE : FALSE;
}

BOOL WINAPI DestroyWindow(HWND window) {
  std::lock_guard lock(gMutex);
  if (!LookupLocked(window)) return FALSE;
  // The window goes with its children and owned windows, and what waits for them.
  std::vector<HWND> doomed{window};
  for (std::size_t i = 0; i < doomed.size(); ++i)
    for (auto& [h, w] : Table())
      if (w.spec.parent == doomed[i]) doomed.push_back(h);
  for (HWND h : doomed) Table().erase(h);
  for (auto& [thread, queue] : Queues()) {
    for (auto it = queue.begin(); it != queue.end();) {
      if (std::find(doomed.begin(), doomed.end(), it->window) == doomed.end()) {
        ++it;
        continue;
      }
      if (it->reply) it->reply->set_value(0);
      it = queue.erase(it);
    }
  }
  return TRUE;
}

int WINAPI GetWindowTextA(HWND window, LPSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (thread == GetCurrentThreadId())
    return static_cast<int>(SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
  // Another thread's window: its text is read directly, as the system does, without waiting on it.
  std::lock_guard lock(gMutex);
  Window* w = LookupLocked(window);
  if (!w) {
    buffer[0] = 0;
    return 0;
  }
  return static_cast<int>(CopyText(w->spec.caption, buffer, static_cast<std::size_t>(size)));
}

BOOL WINAPI SetWindowTextA(HWND window, LPCSTR textValue) {
  return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(textValue ? textValue : "")) ? TRUE : FALSE;
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<std::promise<LRESULT>> reply;
  std::future<LRESULT> answer;
  {
    std::lock_guard lock(gMutex);
    Window* w = LookupLocked(window);
    if (!w) return 0;
    if (w->thread != GetCurrentThreadId()) {
      reply = std::make_shared<std::promise<LRESULT>>();
      answer = reply->get_future();
      Queues()[w->thread].push_back({window, message, wParam, lParam, reply});
    }
  }
  if (!reply) return Deliver(window, message, wParam, lParam, true);
  // The sender waits, handling what is sent to its own windows meanwhile.
  while (answer.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) DispatchOne(true);
  return answer.get();
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  std::lock_guard lock(gMutex);
  Window* w = LookupLocked(window);
  if (!w) return FALSE;
  Queues()[w->thread].push_back({window, message, wParam, lParam, nullptr});
  return TRUE;
}

HHOOK WINAPI SetWindowsHookExA(int hookId, HOOKPROC procedure, HINSTANCE module, DWORD threadId) {
  if (hookId != WH_CALLWNDPROCRET) {
    SetLastError(ERROR_INVALID_HOOK_FILTER);
    return 0;
  }
  if (!procedure) {
    SetLastError(ERROR_INVALID_FILTER_PROC);
    return 0;
  }
  if (threadId == 0 && module == 0) {
    SetLastError(ERROR_HOOK_NEEDS_HMOD);
    return 0;
  }
  std::lock_guard lock(gMutex);
  HHOOK h = gNextHook++;
  Hooks().push_back({h, procedure, threadId});
  return h;
}

LRESULT WINAPI CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
  std::optional<Hook> next;
  {
    std::lock_guard lock(gMutex);
    auto it = std::find_if(Hooks().begin(), Hooks().end(), [&](const Hook& h) { return h.handle == hook; });
    if (it == Hooks().end()) return 0;
    next = NextHookLocked(static_cast<std::size_t>(it - Hooks().begin()));
  }
  return next ? next->procedure(code, wParam, lParam) : 0;
}

BOOL WINAPI UnhookWindowsHookEx(HHOOK hook) {
  std::lock_guard lock(gMutex);
  auto it = std::find_if(Hooks().begin(), Hooks().end(), [&](const Hook& h) { return h.handle == hook; });
  if (it == Hooks().end()) {
    SetLastError(ERROR_INVALID_HOOK_HANDLE);
    return FALSE;
  }
  Hooks().erase(it);
  return TRUE;
}

BOOL WINAPI EnumThreadWindows(DWORD threadId, WNDENUMPROC procedure, LPARAM lParam) {
  if (!procedure) return FALSE;
  std::vector<HWND> windows;
  {
    std::lock_guard lock(gMutex);
    for (auto& [h, w] : Table())
      if (w.thread == threadId && !w.spec.child) windows.push_back(h);
  }
  if (windows.empty()) return FALSE;
  for (HWND h : windows)
    if (IsWindow(h) && !procedure(h, lParam)) return FALSE;
  return TRUE;
}

DWORD WINAPI GetWindowThreadProcessId(HWND window, LPDWORD processId) {
  std::lock_guard lock(gMutex);
  Window* w = LookupLocked(window);
  if (!w) return 0;
  if (processId) *processId = GetCurrentProcessId();
  return w->thread;
}

HWND WINAPI GetParent(HWND window) {
  std::lock_guard lock(gMutex);
  Window* w = LookupLocked(window);
  if (!w) return 0;
  return w->spec.parent;
}

HWND WINAPI GetDlgItem(HWND dialog, int id) {
  std::lock_guard lock(gMutex);
  if (!LookupLocked(dialog)) return 0;
  for (auto& [h, w] : Table())
    if (w.spec.child && w.spec.parent == dialog && w.spec.id == id) return h;
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return 0;
}

int WINAPI GetDlgCtrlID(HWND window) {
  std::lock_guard lock(gMutex);
  Window* w = LookupLocked(window);
  if (!w) return 0;
  return w->spec.child ? w->spec.id : 0;
}

BOOL WINAPI EnableWindow(HWND window, BOOL enable) {
  bool wasDisabled = false;
  SetEnabled(window, enable != FALSE, wasDisabled);
  return wasDisabled ? TRUE : FALSE;
}

BOOL WINAPI IsWindowEnabled(HWND window) {
  std::lock_guard lock(gMutex);
  Window* w = FindLocked(window);
  return w && w->enabled ? TRUE : FALSE;
}

BOOL WINAPI ShowWindow(HWND window, int command) {
  bool show = command != SW_HIDE;
  {
    std::lock_guard lock(gMutex);
    Window* w = LookupLocked(window);
    if (!w) return FALSE;
    bool was = w->spec.visible;
    if (was == show) return was ? TRUE : FALSE;
    w->spec.visible = show;
  }
  SendMessageA(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  return show ? FALSE : TRUE;
}

BOOL WINAPI IsWindowVisible(HWND window) {
  std::lock_guard lock(gMutex);
  Window* w = FindLocked(window);
  return w && w->spec.visible ? TRUE : FALSE;
}

BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND item = GetDlgItem(dialog, id);
  if (!item) return FALSE;
  SendMessageA(item, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT WINAPI IsDlgButtonChecked(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item ? static_cast<UINT>(SendMessageA(item, BM_GETCHECK, 0, 0)) : 0;
}

UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  HWND item = GetDlgItem(dialog, id);
  if (!item) {
    buffer[0] = 0;
    return 0;
  }
  return static_cast<UINT>(GetWindowTextA(item, buffer, size));
}

BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR textValue) {
  HWND item = GetDlgItem(dialog, id);
  return item ? SetWindowTextA(item, textValue) : FALSE;
}

}  // extern "C"
