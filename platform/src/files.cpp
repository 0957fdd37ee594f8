// Files: handles with share modes honoured inside the process and buffered small reads and writes;
// deletion, renaming, attributes, folders and directory searches over the emulated drives.
#include "files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "handles.h"
#include "text.h"

namespace pinforge::files {

std::uint64_t TicksFromTimespec(const struct timespec& ts) {
  return (static_cast<std::uint64_t>(ts.tv_sec) + 11644473600ull) * 10000000ull + static_cast<std::uint64_t>(ts.tv_nsec) / 100;
}

struct timespec TimespecFromTicks(std::uint64_t ticks) {
  struct timespec ts;
  ts.tv_sec = static_cast<time_t>(ticks / 10000000ull) - 11644473600ll;
  ts.tv_nsec = static_cast<long>(ticks % 10000000ull) * 100;
  return ts;
}

DWORD AttributesOf(const struct stat& st) {
  DWORD a = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (!(st.st_mode & S_IWUSR)) a |= FILE_ATTRIBUTE_READONLY;
  return a;
}

bool ReplaceHostFile(const std::string& host, const std::string& bytes) {
  static std::atomic<unsigned> serial{0};
  std::string tmp = host + ".~" + std::to_string(getpid()) + "-" + std::to_string(serial++);
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    SetLastError(ErrorFromErrno(errno));
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      SetLastError(ErrorFromErrno(n < 0 ? errno : ENOSPC));
      ::close(fd);
      ::unlink(tmp.c_str());
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  struct stat st;
  if (::stat(host.c_str(), &st) == 0) fchmod(fd, st.st_mode & 07777);
  if (::close(fd) != 0 || ::rename(tmp.c_str(), host.c_str()) != 0) {
    SetLastError(ErrorFromErrno(errno));
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

bool ReadHostFile(const std::string& host, std::string& bytes) {
  int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bytes.clear();
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return true;
}

}  // namespace pinforge::files

using namespace pinforge;

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

struct FileId {
  dev_t dev;
  ino_t ino;
  bool operator<(const FileId& o) const { return dev != o.dev ? dev < o.dev : ino < o.ino; }
};

struct OpenEntry {
  const void* owner;
  DWORD access;
  DWORD share;
};

// Share modes of every open file of the process, by host file identity.
class ShareTable {
 public:
  bool TryAdd(FileId id, const void* owner, DWORD access, DWORD share) {
    std::lock_guard lock(mutex_);
    for (const OpenEntry& e : entries_[id]) {
      bool clash = ((access & GENERIC_READ) && !(e.share & FILE_SHARE_READ)) ||
                   ((access & GENERIC_WRITE) && !(e.share & FILE_SHARE_WRITE)) ||
                   ((e.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
                   ((e.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE));
      if (clash) return false;
    }
    entries_[id].push_back({owner, access, share});
    return true;
  }
  void Remove(FileId id, const void* owner) {
    std::lock_guard lock(mutex_);
    auto& list = entries_[id];
    list.erase(std::remove_if(list.begin(), list.end(), [&](const OpenEntry& e) { return e.owner == owner; }), list.end());
    if (list.empty()) entries_.erase(id);
  }
  // Deleting or renaming needs every open handle to share deletion.
  bool MayDelete(FileId id) {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(id);
    if (it == entries_.end()) return true;
    for (const OpenEntry& e : it->second)
      if (!(e.share & FILE_SHARE_DELETE)) return false;
    return true;
  }

 private:
  std::mutex mutex_;
  std::map<FileId, std::vector<OpenEntry>> entries_;
};

ShareTable& Shares() {
  static ShareTable* t = new ShareTable();
  return *t;
}

class OpenFile : public KernelObject {
 public:
  OpenFile(int fd, FileId id, DWORD access) : fd_(fd), id_(id), access_(access) {}
  ~OpenFile() override {
    if (fd_ >= 0) Close();
  }

  bool Close() override {
    std::lock_guard lock(mutex_);
    bool ok = FlushLocked();
    ::close(fd_);
    fd_ = -1;
    Shares().Remove(id_, this);
    return ok;
  }

  bool Read(void* out, DWORD want, DWORD& got) {
    std::lock_guard lock(mutex_);
    got = 0;
    if (!(access_ & GENERIC_READ)) return Fail(ERROR_ACCESS_DENIED);
    if (dirty_ && !FlushLocked()) return false;
    auto* dst = static_cast<char*>(out);
    while (got < want) {
      if (pos_ >= bufStart_ && pos_ < bufStart_ + static_cast<off_t>(bufLen_)) {
        std::size_t off = static_cast<std::size_t>(pos_ - bufStart_);
        std::size_t n = std::min<std::size_t>(bufLen_ - off, want - got);
        std::memcpy(dst + got, buf_.data() + off, n);
        got += static_cast<DWORD>(n);
        pos_ += static_cast<off_t>(n);
        continue;
      }
      std::size_t left = want - got;
      if (left >= kBufferSize) {
        ssize_t n = ::pread(fd_, dst + got, left, pos_);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail(ErrorFromErrno(errno));
        if (n == 0) break;
        got += static_cast<DWORD>(n);
        pos_ += n;
        continue;
      }
      if (buf_.size() < kBufferSize) buf_.resize(kBufferSize);
      ssize_t n = ::pread(fd_, buf_.data(), kBufferSize, pos_);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return Fail(ErrorFromErrno(errno));
      bufStart_ = pos_;
      bufLen_ = static_cast<std::size_t>(n);
      if (n == 0) break;
    }
    return true;
  }

  bool Write(const void* in, DWORD size, DWORD& put) {
    std::lock_guard lock(mutex_);
    put = 0;
    if (!(access_ & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
    const auto* src = static_cast<const char*>(in);
    if (!dirty_) bufLen_ = 0;  // a read buffer is stale once we write
    if (dirty_ && (pos_ != bufStart_ + static_cast<off_t>(bufLen_) || bufLen_ + size > kBufferSize)) {
      if (!FlushLocked()) return false;
    }
    if (size >= kBufferSize) {
      while (put < size) {
        ssize_t n = ::pwrite(fd_, src + put, size - put, pos_);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail(ErrorFromErrno(n < 0 ? errno : ENOSPC));
        put += static_cast<DWORD>(n);
        pos_ += n;
      }
      return true;
    }
    if (!dirty_) {
      if (buf_.size() < kBufferSize) buf_.resize(kBufferSize);
      bufStart_ = pos_;
      bufLen_ = 0;
      dirty_ = true;
    }
    std::memcpy(buf_.data() + bufLen_, src, size);
    bufLen_ += size;
    pos_ += size;
    put = size;
    return true;
  }

  bool Seek(std::int64_t distance, DWORD method, std::int64_t& result) {
    std::lock_guard lock(mutex_);
    std::int64_t base = 0;
    if (method == FILE_CURRENT) base = pos_;
    else if (method == FILE_END) {
      std::int64_t size;
      if (!SizeLocked(size)) return false;
      base = size;
    } else if (method != FILE_BEGIN) {
      return Fail(ERROR_INVALID_PARAMETER);
    }
    if (base + distance < 0) return Fail(131);  // ERROR_NEGATIVE_SEEK
    pos_ = static_cast<off_t>(base + distance);
    result = pos_;
    return true;
  }

  bool Size(std::int64_t& size) {
    std::lock_guard lock(mutex_);
    return SizeLocked(size);
  }

  bool Truncate() {
    std::lock_guard lock(mutex_);
    if (!(access_ & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED);
    if (!FlushLocked()) return false;
    bufLen_ = 0;
    if (::ftruncate(fd_, pos_) != 0) return Fail(ErrorFromErrno(errno));
    return true;
  }

  bool Flush() {
    std::lock_guard lock(mutex_);
    return FlushLocked();
  }

  bool Times(FILETIME* access, FILETIME* write) {
    std::lock_guard lock(mutex_);
    struct stat st;
    if (!FlushLocked() || ::fstat(fd_, &st) != 0) return Fail(ErrorFromErrno(errno));
    auto put = [](FILETIME* ft, std::uint64_t t) {
      if (ft) ft->dwLowDateTime = static_cast<DWORD>(t), ft->dwHighDateTime = static_cast<DWORD>(t >> 32);
    };
    put(access, files::TicksFromTimespec(st.st_atim));
    put(write, files::TicksFromTimespec(st.st_mtim));
    return true;
  }

  bool SetTimes(const FILETIME* access, const FILETIME* write) {
    std::lock_guard lock(mutex_);
    if (!FlushLocked()) return false;
    struct timespec ts[2];
    ts[0].tv_nsec = ts[1].tv_nsec = UTIME_OMIT;
    auto get = [](const FILETIME* ft) {
      return files::TimespecFromTicks((static_cast<std::uint64_t>(ft->dwHighDateTime) << 32) | ft->dwLowDateTime);
    };
    if (access) ts[0] = get(access);
    if (write) ts[1] = get(write);
    if (::futimens(fd_, ts) != 0) return Fail(ErrorFromErrno(errno));
    return true;
  }

 private:
  bool Fail(DWORD code) {
    SetLastError(code);
    return false;
  }
  bool FlushLocked() {
    if (!dirty_) return true;
    std::size_t done = 0;
    while (done < bufLen_) {
      ssize_t n = ::pwrite(fd_, buf_.data() + done, bufLen_ - done, bufStart_ + static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        dirty_ = false;
        bufLen_ = 0;
        return Fail(ErrorFromErrno(n < 0 ? errno : ENOSPC));
      }
      done += static_cast<std::size_t>(n);
    }
    dirty_ = false;
    bufLen_ = 0;
    return true;
  }
  bool SizeLocked(std::int64_t& size) {
    if (!FlushLocked()) return false;
    struct stat st;
    if (::fstat(fd_, &st) != 0) return Fail(ErrorFromErrno(errno));
    size = st.st_size;
    return true;
  }

  std::mutex mutex_;
  int fd_;
  FileId id_;
  DWORD access_;
  off_t pos_ = 0;
  std::vector<char> buf_;
  off_t bufStart_ = 0;
  std::size_t bufLen_ = 0;
  bool dirty_ = false;
};

struct FindEntry {
  std::string name;
  struct stat st;
};

class FindSearch : public KernelObject {
 public:
  std::vector<FindEntry> entries;
  std::size_t next = 0;
};

void FillFindData(const FindEntry& e, WIN32_FIND_DATAA* data) {
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = files::AttributesOf(e.st);
  auto put = [](FILETIME& ft, std::uint64_t t) {
    ft.dwLowDateTime = static_cast<DWORD>(t);
    ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
  };
  put(data->ftCreationTime, files::TicksFromTimespec(e.st.st_mtim));
  put(data->ftLastAccessTime, files::TicksFromTimespec(e.st.st_atim));
  put(data->ftLastWriteTime, files::TicksFromTimespec(e.st.st_mtim));
  std::uint64_t size = S_ISDIR(e.st.st_mode) ? 0 : static_cast<std::uint64_t>(e.st.st_size);
  data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(size);
  std::strncpy(data->cFileName, e.name.c_str(), MAX_PATH - 1);
}

bool MapExisting(LPCSTR name, paths::Mapped& m, struct stat& st) {
  if (!name || !*name) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  if (!paths::ToHost(name, m)) return false;
  if (!m.exists || ::lstat(m.host.c_str(), &st) != 0) {
    std::string dir, leaf, full;
    paths::FullPath(name, full);
    paths::Split(full, dir, leaf);
    paths::Mapped parent;
    bool parentThere = !dir.empty() && paths::ToHost(dir, parent) && parent.exists;
    SetLastError(parentThere ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    return false;
  }
  return true;
}

bool ParentExists(const std::string& host) {
  auto slash = host.find_last_of('/');
  std::string parent = slash == 0 ? "/" : host.substr(0, slash);
  struct stat st;
  return ::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

extern "C" {

HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, void*, DWORD disposition, DWORD flags, HANDLE) {
  paths::Mapped m;
  if (!name || !*name) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (!paths::ToHost(name, m)) return INVALID_HANDLE_VALUE;
  struct stat st;
  bool existed = m.exists && ::stat(m.host.c_str(), &st) == 0;
  if (existed && S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  if (!existed && !m.parentStamp && !ParentExists(m.host)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  int oflags = O_CLOEXEC;
  bool wantWrite = access & GENERIC_WRITE;
  oflags |= wantWrite ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
  bool truncate = false;
  switch (disposition) {
    case CREATE_NEW:
      if (existed) {
        SetLastError(ERROR_FILE_EXISTS);
        return INVALID_HANDLE_VALUE;
      }
      oflags |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS: oflags |= O_CREAT; truncate = existed; break;
    case OPEN_EXISTING: break;
    case OPEN_ALWAYS: oflags |= O_CREAT; break;
    case TRUNCATE_EXISTING:
      if (!wantWrite) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
      }
      truncate = true;
      break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
  }
  if (!existed && (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  // The read-only attribute is the owner's write bit; honour it even for a privileged host user.
  if (existed && (wantWrite || truncate) && !(st.st_mode & S_IWUSR)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  mode_t mode = (flags & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
  int fd = ::open(m.host.c_str(), oflags, mode);
  if (fd < 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  if (!existed) paths::NoteAdded(m);
  ::fstat(fd, &st);
  FileId id{st.st_dev, st.st_ino};
  auto file = std::make_shared<OpenFile>(fd, id, access);
  if (!Shares().TryAdd(id, file.get(), access, share)) {
    file.reset();  // closes the descriptor
    SetLastError(ERROR_SHARING_VIOLATION);
    return INVALID_HANDLE_VALUE;
  }
  if (truncate && ::ftruncate(fd, 0) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  SetLastError(existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS : 0);
  return HandleTable::Get().Add(std::move(file));
}

BOOL WINAPI ReadFile(HANDLE h, LPVOID buffer, DWORD toRead, LPDWORD read, void*) {
  auto f = HandleTable::Get().Find<OpenFile>(h);
  if (read) *read = 0;
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD got = 0;
  bool ok = f->Read(buffer, toRead, got);
  if (read) *read = got;
  return ok;
}

BOOL WINAPI WriteFile(HANDLE h, LPCVOID buffer, DWORD toWrite, LPDWORD written, void*) {
  auto f = HandleTable::Get().Find<OpenFile>(h);
  if (written) *written = 0;
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD put = 0;
  bool ok = f->Write(buffer, toWrite, put);
  if (written) *written = put;
  return ok;
}

DWORD WINAPI SetFilePointer(HANDLE h, LONG distance, LPLONG high, DWORD method) {
  auto f = HandleTable::Get().Find<OpenFile>(h);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  std::int64_t d = high ? static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<DWORD>(*high)) << 32) | static_cast<DWORD>(distance))
                        : distance;
  std::int64_t result = 0;
  if (!f->Seek(d, method, result)) return INVALID_SET_FILE_POINTER;
  if (high) *high = static_cast<LONG>(result >> 32);
  SetLastError(0);
  return static_cast<DWORD>(result);
}

BOOL WINAPI SetEndOfFile(HANDLE h) {
  auto f = HandleTable::Get().Find<OpenFile>(h);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return f->Truncate();
}

BOOL WINAPI FlushFileBuffers(HANDLE h) {
  auto f = HandleTable::Get().Find<OpenFile>(h);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return f->Flush();
}

DWORD WINAPI GetFileSize(HANDLE h, LPDWORD high) {
  auto f = HandleTable::Get().Find<OpenFile>(h);
  std::int64_t size = 0;
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  if (!f->Size(size)) return INVALID_FILE_SIZE;
  if (high) *high = static_cast<DWORD>(size >> 32);
  SetLastError(0);
  return static_cast<DWORD>(size);
}

BOOL WINAPI GetFileTime(HANDLE h, FILETIME* creation, FILETIME* access, FILETIME* write) {
  auto f = HandleTable::Get().Find<OpenFile>(h);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  FILETIME w;
  if (!f->Times(access, &w)) return FALSE;
  if (creation) *creation = w;
  if (write) *write = w;
  return TRUE;
}

BOOL WINAPI SetFileTime(HANDLE h, const FILETIME*, const FILETIME* access, const FILETIME* write) {
  auto f = HandleTable::Get().Find<OpenFile>(h);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return f->SetTimes(access, write);
}

BOOL WINAPI CloseHandle(HANDLE h) {
  auto object = HandleTable::Get().Remove(h);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return object->Close();
}

BOOL WINAPI DeleteFileA(LPCSTR name) {
  paths::Mapped m;
  struct stat st;
  if (!MapExisting(name, m, st)) return FALSE;
  if (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!Shares().MayDelete({st.st_dev, st.st_ino})) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  if (::unlink(m.host.c_str()) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  paths::NoteRemoved(m.host);
  return TRUE;
}

BOOL WINAPI MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
  paths::Mapped src, dst;
  struct stat st, dstSt;
  if (!MapExisting(from, src, st)) return FALSE;
  if (!to || !paths::ToHost(to, dst)) {
    if (!to) SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!Shares().MayDelete({st.st_dev, st.st_ino})) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  if (!ParentExists(dst.host)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (::lstat(dst.host.c_str(), &dstSt) == 0 && !(dstSt.st_dev == st.st_dev && dstSt.st_ino == st.st_ino)) {
    if (!(flags & MOVEFILE_REPLACE_EXISTING) || S_ISDIR(dstSt.st_mode)) {
      SetLastError(ERROR_ALREADY_EXISTS);
      return FALSE;
    }
    if (!(dstSt.st_mode & S_IWUSR)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (!Shares().MayDelete({dstSt.st_dev, dstSt.st_ino})) {
      SetLastError(ERROR_SHARING_VIOLATION);
      return FALSE;
    }
  }
  if (::rename(src.host.c_str(), dst.host.c_str()) == 0) {
    paths::NoteRemoved(src.host);
    if (!dst.exists) paths::NoteAdded(dst);
    return TRUE;
  }
  if (errno != EXDEV || S_ISDIR(st.st_mode)) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  // Across host file systems a file is copied, then the original removed.
  if (!CopyFileA(from, to, FALSE)) return FALSE;
  ::unlink(src.host.c_str());
  return TRUE;
}

BOOL WINAPI MoveFileA(LPCSTR from, LPCSTR to) { return MoveFileExA(from, to, 0); }

BOOL WINAPI CopyFileA(LPCSTR from, LPCSTR to, BOOL failIfExists) {
  HANDLE in = CreateFileA(from, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, 0);
  if (in == INVALID_HANDLE_VALUE) return FALSE;
  HANDLE out = CreateFileA(to, GENERIC_WRITE, 0, nullptr, failIfExists ? CREATE_NEW : CREATE_ALWAYS, 0, 0);
  if (out == INVALID_HANDLE_VALUE) {
    DWORD err = GetLastError();
    CloseHandle(in);
    SetLastError(err);
    return FALSE;
  }
  std::vector<char> buf(1 << 20);
  bool ok = true;
  for (;;) {
    DWORD got = 0, put = 0;
    if (!ReadFile(in, buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    if (!WriteFile(out, buf.data(), got, &put, nullptr) || put != got) {
      ok = false;
      break;
    }
  }
  DWORD err = GetLastError();
  FILETIME ft;
  if (ok && GetFileTime(in, nullptr, nullptr, &ft)) SetFileTime(out, nullptr, nullptr, &ft);
  CloseHandle(in);
  ok = CloseHandle(out) && ok;
  if (!ok) {
    DeleteFileA(to);
    SetLastError(err ? err : ERROR_GEN_FAILURE);
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI GetFileAttributesA(LPCSTR name) {
  paths::Mapped m;
  struct stat st;
  if (!MapExisting(name, m, st)) return INVALID_FILE_ATTRIBUTES;
  if (S_ISLNK(st.st_mode) && ::stat(m.host.c_str(), &st) != 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  return files::AttributesOf(st);
}

BOOL WINAPI SetFileAttributesA(LPCSTR name, DWORD attributes) {
  paths::Mapped m;
  struct stat st;
  if (!MapExisting(name, m, st)) return FALSE;
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~0222) : (mode | S_IWUSR);
  if (::chmod(m.host.c_str(), mode) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI CreateDirectoryA(LPCSTR name, void*) {
  paths::Mapped m;
  if (!name || !paths::ToHost(name, m)) return FALSE;
  if (m.exists) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  if (!m.parentStamp && !ParentExists(m.host)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (::mkdir(m.host.c_str(), 0777) != 0) {
    SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : ErrorFromErrno(errno));
    return FALSE;
  }
  paths::NoteAdded(m);
  return TRUE;
}

BOOL WINAPI RemoveDirectoryA(LPCSTR name) {
  paths::Mapped m;
  struct stat st;
  if (!MapExisting(name, m, st)) return FALSE;
  if (!S_ISDIR(st.st_mode)) {
    SetLastError(267);  // ERROR_DIRECTORY
    return FALSE;
  }
  if (::rmdir(m.host.c_str()) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  paths::NoteRemoved(m.host);
  return TRUE;
}

HANDLE WINAPI FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data) {
  std::string full, dir, mask;
  if (!pattern || !data || !paths::FullPath(pattern, full)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  paths::Split(full, dir, mask);
  paths::Mapped m;
  if (mask.empty() || !paths::ToHost(dir, m)) {
    if (mask.empty()) SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  DIR* d = m.exists ? ::opendir(m.host.c_str()) : nullptr;
  if (!d) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  auto search = std::make_shared<FindSearch>();
  bool root = dir.size() == 3;
  while (struct dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (root && (name == "." || name == "..")) continue;
    std::string ansi = (name == "." || name == "..") ? name : text::Utf8ToAnsi(name);
    if (!paths::WildcardMatch(mask, ansi)) continue;
    FindEntry entry{ansi, {}};
    if (::stat((m.host + "/" + name).c_str(), &entry.st) != 0) continue;
    search->entries.push_back(std::move(entry));
  }
  ::closedir(d);
  std::sort(search->entries.begin(), search->entries.end(), [](const FindEntry& a, const FindEntry& b) {
    if (a.name == "." || b.name == ".") return a.name == "." && b.name != ".";
    if (a.name == ".." || b.name == "..") return a.name == ".." && b.name != "..";
    return text::CompareNoCase(a.name, b.name) < 0;
  });
  if (search->entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  FillFindData(search->entries[0], data);
  search->next = 1;
  return HandleTable::Get().Add(std::move(search));
}

BOOL WINAPI FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data) {
  auto search = HandleTable::Get().Find<FindSearch>(find);
  if (!search) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (search->next >= search->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  FillFindData(search->entries[search->next++], data);
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE find) {
  if (!HandleTable::Get().Find<FindSearch>(find)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return CloseHandle(find);
}

UINT WINAPI GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR out) {
  if (!path || !out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string dir = path;
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
  std::string pre = prefix ? std::string(prefix).substr(0, 3) : std::string();
  DWORD attrs = GetFileAttributesA(dir.empty() ? "." : dir.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
    SetLastError(267);  // ERROR_DIRECTORY
    return 0;
  }
  auto nameFor = [&](UINT n) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", n & 0xFFFF);
    return dir + pre + hex + ".TMP";
  };
  if (unique != 0) {
    std::string name = nameFor(unique);
    std::memcpy(out, name.c_str(), std::min<std::size_t>(name.size() + 1, MAX_PATH));
    out[MAX_PATH - 1] = 0;
    return unique & 0xFFFF;
  }
  UINT start = (GetTickCount() ^ static_cast<UINT>(getpid())) & 0xFFFF;
  for (UINT i = 0; i < 0x10000; ++i) {
    UINT n = (start + i) & 0xFFFF;
    if (n == 0) continue;
    std::string name = nameFor(n);
    HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, 0);
    if (h != INVALID_HANDLE_VALUE) {
      CloseHandle(h);
      std::memcpy(out, name.c_str(), std::min<std::size_t>(name.size() + 1, MAX_PATH));
      out[MAX_PATH - 1] = 0;
      return n;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return 0;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return 0;
}

}  // extern "C"
