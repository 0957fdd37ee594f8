// Internals of the file layer shared with other parts of the platform.
#pragma once

#include <sys/stat.h>

#include <string>

#include "machine.h"

namespace pinforge::files {

// FILETIME ticks (100 ns since 1601, UTC) of a host time stamp, and back.
std::uint64_t TicksFromTimespec(const struct timespec& ts);
struct timespec TimespecFromTicks(std::uint64_t ticks);
DWORD AttributesOf(const struct stat& st);
// Writes bytes to a host file through a new file beside it, renamed over the old one when complete.
bool ReplaceHostFile(const std::string& host, const std::string& bytes);
// Reads a whole host file; false when it cannot be opened.
bool ReadHostFile(const std::string& host, std::string& bytes);

}  // namespace pinforge::files
