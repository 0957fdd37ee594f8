// File helpers of the configuration library: existence test, whole-file loader into a global
// memory block, block writer and blank-table writer.
#pragma once

#include <win32/windows.h>

#include <cstdint>

namespace ternlock {

// 1 when a directory lookup of the path finds an entry, else 0; shows no message.
int CheckFileExist(const char* path);

// 1: the whole file is in a new movable block, unlocked, owned by the caller (size and handle stored).
// 0: the file is empty (size 0 stored, no block), or no block could be had or locked (size stored,
//    no block). -1: the file cannot be opened ("File not Found !" box; nothing stored).
int HLoadFileToBuffer(const char* path, std::int32_t* size, HGLOBAL* handle);

// Replaces the file at path by the block's first length bytes; always 1. The new file is written
// beside the old one, which stays as it was when the new one cannot be written.
int HSaveBufferToFile(HGLOBAL block, std::int32_t length, const char* path);

// Replaces the file at path by length bytes of 0xFF (an empty file for 0).
int WriteBlankTable(std::int32_t length, const char* path);

}  // namespace ternlock
