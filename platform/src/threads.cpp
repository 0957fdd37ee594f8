// TThread over std::thread, and the queue through which Synchronize reaches the main thread.
#include <vcl/Classes.h>

#include <win32/windows.h>

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

namespace {

std::thread::id MainThread() {
  static const std::thread::id main = std::this_thread::get_id();  // the thread that first asks
  return main;
}
[[maybe_unused]] const std::thread::id gMain = MainThread();  // fixed at library start-up

std::mutex gQueueMutex;
std::condition_variable gQueueSignal;
std::deque<std::packaged_task<void()>> gQueue;

}  // namespace

struct TThread::State {
  std::mutex mutex;
  std::condition_variable started;
  bool go = false;
  bool started_ = false;  // Execute was entered
  bool abandon = false;  // deleted before it ran: end without Execute
  std::thread thread;
};

TThread::TThread(bool createSuspended) : createSuspended_(createSuspended), state_(std::make_shared<State>()) {
  state_->thread = std::thread([this, state = state_] {
    {
      std::unique_lock lock(state->mutex);
      state->started.wait(lock, [&] { return state->go || state->abandon; });
      if (state->abandon) return;
      state->started_ = true;
    }
    Run();
  });
}

void TThread::Run() {
  threadId_ = GetCurrentThreadId();
  try {
    Execute();
  } catch (const std::exception& e) {
    FatalException = e.what();
  } catch (...) {
    FatalException = "Unknown exception";
  }
  if (OnTerminate) Synchronize([this] { OnTerminate(this); });
  if (FreeOnTerminate) {
    state_->thread.detach();  // the object goes; the thread ends right after
    finished_ = true;
    delete this;
    return;
  }
  finished_ = true;
  gQueueSignal.notify_all();
}

TThread::~TThread() {
  if (!state_->thread.joinable()) return;  // it freed itself
  terminated_ = true;
  bool ran;
  {
    std::lock_guard lock(state_->mutex);
    ran = state_->started_;
    if (!ran) state_->abandon = true;
  }
  state_->started.notify_all();
  if (ran) WaitFor();
  state_->thread.join();
}

void TThread::AfterConstruction() {
  if (!createSuspended_) Resume();
}

void TThread::Resume() {
  {
    std::lock_guard lock(state_->mutex);
    state_->go = true;
  }
  state_->started.notify_all();
}

int TThread::WaitFor() {
  if (std::this_thread::get_id() == state_->thread.get_id()) return ReturnValue;
  bool main = std::this_thread::get_id() == MainThread();
  while (!finished_) {
    if (main && CheckSynchronize()) continue;
    std::unique_lock lock(gQueueMutex);
    gQueueSignal.wait_for(lock, std::chrono::milliseconds(10), [&] { return finished_ || (main && !gQueue.empty()); });
  }
  return ReturnValue;
}

void TThread::Synchronize(const std::function<void()>& method) {
  if (std::this_thread::get_id() == MainThread()) {
    method();
    return;
  }
  std::packaged_task<void()> task(method);
  auto done = task.get_future();
  {
    std::lock_guard lock(gQueueMutex);
    gQueue.push_back(std::move(task));
  }
  gQueueSignal.notify_all();
  done.get();  // rethrows what the call threw, here on the thread that asked
}

bool TThread::CheckSynchronize() {
  if (std::this_thread::get_id() != MainThread()) return false;
  bool any = false;
  for (;;) {
    std::packaged_task<void()> task;
    {
      std::lock_guard lock(gQueueMutex);
      if (gQueue.empty()) return any;
      task = std::move(gQueue.front());
      gQueue.pop_front();
    }
    task();
    any = true;
  }
}
