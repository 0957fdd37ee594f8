#include "Writer.h"

#include "Names.h"

#include <algorithm>
#include <functional>

namespace unzeng {
namespace {

constexpr std::size_t kInFlightLimit = 16u << 20;  // decoded bytes waiting for the writers
constexpr std::size_t kFreeLimit = 16u << 20;      // kept for reuse: touching new memory is slow
constexpr std::size_t kMaxWaiting = 512;           // files waiting for the writers

std::size_t Rounded(std::size_t size) { return std::max<std::size_t>(4096, (size + 4095) & ~std::size_t{4095}); }


}  // namespace

bool OutputFile::Open() {
  opened_ = true;
  file_ = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, 0);
  if (file_ != INVALID_HANDLE_VALUE) {
    written_ = path_;
    return true;
  }
  DWORD error = GetLastError();
  if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
    error_ = error;
    return false;
  }
  if (!replace_) {
    kept_ = true;
    return false;
  }
  // Beside the old file, which is replaced only when the new one is complete.
  for (unsigned n = 0; n < 1000 && file_ == INVALID_HANDLE_VALUE; ++n) {
    written_ = path_ + ".~" + std::to_string(GetCurrentThreadId()) + "-" + std::to_string(n);
    file_ = CreateFileA(written_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, 0);
    if (file_ == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file_ == INVALID_HANDLE_VALUE) {
    error_ = GetLastError();
    written_.clear();
    return false;
  }
  return true;
}

bool OutputFile::Write(const char* data, std::size_t size) {
  if (!opened_ && !Open()) return false;
  if (file_ == INVALID_HANDLE_VALUE) return false;
  while (size > 0) {
    DWORD put = 0;
    DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!WriteFile(file_, data, want, &put, nullptr) || put == 0) {
      error_ = GetLastError();
      return false;
    }
    data += put;
    size -= put;
  }
  return true;
}

bool OutputFile::Finish(const FILETIME& date) {
  if (!opened_ && !Open()) return false;  // an empty file is made too
  if (file_ == INVALID_HANDLE_VALUE) return false;
  SetFileTime(file_, nullptr, nullptr, &date);
  bool closed = CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
  if (!closed) {
    error_ = GetLastError();
    return false;
  }
  if (written_ != path_ && !MoveFileExA(written_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    error_ = GetLastError();
    return false;
  }
  written_.clear();
  return true;
}

void OutputFile::Abandon() {
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
  if (!written_.empty()) DeleteFileA(written_.c_str());
  written_.clear();
}

Writers::Writers(unsigned threads) : lanes_(std::max(1u, threads)) {
  for (std::size_t i = 0; i < lanes_.size(); ++i) threads_.emplace_back([this, i] { Run(i); });
}

Writers::~Writers() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  for (auto& t : threads_) t.join();
}

Block Writers::Acquire(std::size_t size) {
  std::size_t capacity = Rounded(size);
  std::unique_lock lock(mutex_);
  room_.wait(lock, [&] { return inFlight_ == 0 || (inFlight_ + capacity <= kInFlightLimit && waiting_ < kMaxWaiting); });
  auto best = free_.end();
  for (auto it = free_.begin(); it != free_.end(); ++it)
    if (it->capacity >= capacity && it->capacity <= 2 * capacity && (best == free_.end() || it->capacity < best->capacity)) best = it;
  Block b;
  if (best != free_.end()) {
    b = std::move(*best);
    freeBytes_ -= b.capacity;
    free_.erase(best);
  }
  inFlight_ += b.data ? b.capacity : capacity;
  lock.unlock();
  if (!b.data) {
    b.capacity = capacity;
    b.data = std::make_unique_for_overwrite<char[]>(capacity);
  }
  return b;
}

void Writers::Keep(Block block) {
  inFlight_ -= std::min(inFlight_, block.capacity);
  if (block.data && freeBytes_ + block.capacity <= kFreeLimit) {
    freeBytes_ += block.capacity;
    free_.push_back(std::move(block));
  }
  room_.notify_all();
}

void Writers::Release(Block block) {
  std::lock_guard lock(mutex_);
  Keep(std::move(block));
}

void Writers::Submit(WriteJob job) {
  // By folder: two writers creating names in one folder would wait on each other there.
  std::string folder = job.path.substr(0, job.path.find_last_of('\\') + 1);
  std::size_t lane = std::hash<std::string>()(FoldedName(folder)) % lanes_.size();
  {
    std::lock_guard lock(mutex_);
    lanes_[lane].push_back(std::move(job));
    ++waiting_;
  }
  work_.notify_all();
}

void Writers::Run(std::size_t lane) {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_.wait(lock, [&] { return stop_ || !lanes_[lane].empty(); });
    if (lanes_[lane].empty()) return;
    WriteJob job = std::move(lanes_[lane].front());
    lanes_[lane].pop_front();
    --waiting_;
    ++busy_;
    lock.unlock();
    OutputFile out(job.path, job.replace);
    bool ok = out.Write(job.block.data.get(), job.size) && out.Finish(job.date);
    WriteResult r{ok ? WriteResult::Written : out.Kept() ? WriteResult::Kept : WriteResult::Failed, job.path, out.Error()};
    if (!ok) out.Abandon();
    lock.lock();
    results_.push_back(std::move(r));
    --busy_;
    Keep(std::move(job.block));
    idle_.notify_all();
  }
}

std::vector<WriteResult> Writers::TakeResults() {
  std::lock_guard lock(mutex_);
  std::vector<WriteResult> out(std::make_move_iterator(results_.begin()), std::make_move_iterator(results_.end()));
  results_.clear();
  return out;
}

void Writers::Drain() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [&] {
    return busy_ == 0 && std::all_of(lanes_.begin(), lanes_.end(), [](const auto& l) { return l.empty(); });
  });
}

void Writers::DropWaiting() {
  std::lock_guard lock(mutex_);
  for (auto& lane : lanes_) {
    for (auto& job : lane) Keep(std::move(job.block));
    lane.clear();
  }
  waiting_ = 0;
  idle_.notify_all();
}

}  // namespace unzeng
