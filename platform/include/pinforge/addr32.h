// The 32-bit address space: memory that lies below 4 GiB, for what a 4-byte field of a record
// that crosses a module boundary points to, and the one checked conversion between such a field
// and a pointer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>

#define PF_API __attribute__((visibility("default")))

namespace pinforge::addr32 {

// Thrown when an address does not fit a 4-byte field.
class AddressError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// 16-byte aligned memory below 4 GiB; nullptr when none is left. Free takes nullptr too.
PF_API void* Allocate(std::size_t size);
PF_API void* AllocateZeroed(std::size_t size);
PF_API void Free(void* p);

PF_API bool Fits(const void* p);
PF_API std::optional<std::uint32_t> TryToField(const void* p);
// The 4-byte field for a pointer; throws AddressError for an address at or above 4 GiB.
PF_API std::uint32_t ToField(const void* p);
inline void* FromField(std::uint32_t field) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(field)); }
template <class T>
T* FromField(std::uint32_t field) {
  return static_cast<T*>(FromField(field));
}

struct Deleter {
  void operator()(void* p) const { Free(p); }
};
// Owned zero-filled memory in the 32-bit space; empty when none could be had.
using Block = std::unique_ptr<char[], Deleter>;
inline Block MakeBlock(std::size_t size) { return Block(static_cast<char*>(AllocateZeroed(size))); }

}  // namespace pinforge::addr32

namespace pinforge {
// Movable and fixed global-memory blocks alive in the process (for leak checks).
PF_API std::size_t LiveGlobalBlocks();
}  // namespace pinforge
