// Memory below 4 GiB: blocks of up to 1 MiB come from arenas kept on an address-ordered free list,
// larger ones get a mapping of their own.
#include <pinforge/addr32.h>

#include <sys/mman.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace pinforge::addr32 {
namespace {

constexpr std::size_t kHeader = 16;
constexpr std::size_t kArena = 4u << 20;
constexpr std::size_t kLargeFrom = 1u << 20;
constexpr std::uint32_t kUsed = 0xA110C8EDu, kLarge = 0xB16B10C5u;
constexpr std::uintptr_t kLimit = 0x100000000ull;

struct Header {
  std::size_t size;  // whole block with header (arena) or whole mapping (large)
  std::uint32_t state;
  std::uint32_t pad;
};
static_assert(sizeof(Header) == kHeader);

struct FreeBlock {
  std::size_t size;
  FreeBlock* next;
};

std::mutex gMutex;
FreeBlock* gFree = nullptr;

void* MapLow(std::size_t size) {
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  if (p != MAP_FAILED && reinterpret_cast<std::uintptr_t>(p) + size <= kLimit) return p;
  if (p != MAP_FAILED) munmap(p, size);
  // The 2 GiB window of MAP_32BIT is full: look for room higher up, still below 4 GiB.
  std::size_t step = (size + (1u << 20) - 1) & ~std::size_t((1u << 20) - 1);
  for (std::uintptr_t hint = 0x80000000ull; hint + size <= kLimit; hint += step) {
    p = mmap(reinterpret_cast<void*>(hint), size, PROT_READ | PROT_WRITE,
             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (p == MAP_FAILED) continue;
    if (p == reinterpret_cast<void*>(hint)) return p;
    munmap(p, size);  // an old kernel took the hint as a hint only
  }
  return nullptr;
}

void InsertFree(char* at, std::size_t size) {
  FreeBlock** link = &gFree;
  while (*link && reinterpret_cast<char*>(*link) < at) link = &(*link)->next;
  auto* block = reinterpret_cast<FreeBlock*>(at);
  block->size = size;
  block->next = *link;
  if (block->next && at + size == reinterpret_cast<char*>(block->next)) {
    block->size += block->next->size;
    block->next = block->next->next;
  }
  *link = block;
  // Merge with the predecessor: find it again (the list is short in practice).
  for (FreeBlock* prev = gFree; prev && prev != block; prev = prev->next) {
    if (prev->next == block && reinterpret_cast<char*>(prev) + prev->size == at) {
      prev->size += block->size;
      prev->next = block->next;
      break;
    }
  }
}

}  // namespace

void* Allocate(std::size_t size) {
  if (size >= kLargeFrom) {
    std::size_t total = (size + kHeader + 4095) & ~std::size_t(4095);
    if (total < size) return nullptr;
    void* p = MapLow(total);
    if (!p) return nullptr;
    auto* h = static_cast<Header*>(p);
    h->size = total;
    h->state = kLarge;
    return static_cast<char*>(p) + kHeader;
  }
  std::size_t need = (size + kHeader + 15) & ~std::size_t(15);
  std::lock_guard lock(gMutex);
  for (int attempt = 0; attempt < 2; ++attempt) {
    for (FreeBlock** link = &gFree; *link; link = &(*link)->next) {
      FreeBlock* b = *link;
      if (b->size < need) continue;
      char* at = reinterpret_cast<char*>(b);
      if (b->size - need >= 64) {
        auto* rest = reinterpret_cast<FreeBlock*>(at + need);
        rest->size = b->size - need;
        rest->next = b->next;
        *link = rest;
      } else {
        need = b->size;
        *link = b->next;
      }
      auto* h = reinterpret_cast<Header*>(at);
      h->size = need;
      h->state = kUsed;
      return at + kHeader;
    }
    void* arena = MapLow(kArena);
    if (!arena) return nullptr;
    InsertFree(static_cast<char*>(arena), kArena);
  }
  return nullptr;
}

void* AllocateZeroed(std::size_t size) {
  void* p = Allocate(size);
  if (p) std::memset(p, 0, size);
  return p;
}

void Free(void* p) {
  if (!p) return;
  char* at = static_cast<char*>(p) - kHeader;
  auto* h = reinterpret_cast<Header*>(at);
  if (h->state == kLarge) {
    h->state = 0;
    munmap(at, h->size);
    return;
  }
  if (h->state != kUsed) return;  // not ours, or freed twice: leave it alone
  h->state = 0;
  std::lock_guard lock(gMutex);
  InsertFree(at, h->size);
}

bool Fits(const void* p) { return reinterpret_cast<std::uintptr_t>(p) < kLimit; }

std::optional<std::uint32_t> TryToField(const void* p) {
  if (!Fits(p)) return std::nullopt;
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p));
}

std::uint32_t ToField(const void* p) {
  if (auto f = TryToField(p)) return *f;
  throw AddressError("address does not fit a 4-byte field");
}

}  // namespace pinforge::addr32
