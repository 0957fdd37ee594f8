// Writing unpacked files: one file from a whole buffer (created at once, beside the old file when
// one is replaced, removed again when anything fails), and writer threads that do this for
// buffers the engine has decoded and checked, so creating files overlaps with decoding.
#pragma once

#include <win32/windows.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace unzeng {

// Streams a file: opened at the first byte, put in place by Finish, removed when abandoned.
class OutputFile {
 public:
  OutputFile(std::string path, bool replace) : path_(std::move(path)), replace_(replace) {}
  ~OutputFile() { Abandon(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Write(const char* data, std::size_t size);
  // Closes the file with its date and puts it in place.
  bool Finish(const FILETIME& date);
  void Abandon();
  // The file was there and is not to be replaced: nothing was written.
  bool Kept() const { return kept_; }
  DWORD Error() const { return error_; }

 private:
  bool Open();
  std::string path_, written_;
  bool replace_, kept_ = false, opened_ = false;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  DWORD error_ = 0;
};

// A reusable block of memory for one decoded file.
struct Block {
  std::unique_ptr<char[]> data;
  std::size_t capacity = 0;
};

struct WriteJob {
  std::string path;  // relative to the current directory
  bool replace = false;
  FILETIME date{};
  Block block;
  std::size_t size = 0;
};

struct WriteResult {
  enum Outcome { Written, Kept, Failed } outcome;
  std::string path;
  DWORD error;
};

class Writers {
 public:
  explicit Writers(unsigned threads);
  ~Writers();
  Writers(const Writers&) = delete;
  Writers& operator=(const Writers&) = delete;

  // A block of at least `size` bytes; waits while the blocks in flight hold too much.
  Block Acquire(std::size_t size);
  // Gives back a block from Acquire that was not submitted.
  void Release(Block block);
  void Submit(WriteJob job);
  // The files finished since the last call, in the order they finished.
  std::vector<WriteResult> TakeResults();
  // Waits until every submitted file is finished.
  void Drain();
  // Drops the files not yet started (none of them has been created).
  void DropWaiting();

 private:
  void Run(std::size_t lane);
  void Keep(Block block);  // under the lock: a block back from flight, kept for reuse
  std::mutex mutex_;
  std::condition_variable work_, idle_, room_;
  std::vector<std::deque<WriteJob>> lanes_;  // a folder's files always go to the same writer
  std::vector<Block> free_;
  std::deque<WriteResult> results_;
  std::size_t inFlight_ = 0, busy_ = 0, freeBytes_ = 0, waiting_ = 0;
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace unzeng
