#include "FileHelpers.h"

#include <pinforge/replacefile.h>
#include <vcl/SysUtils.h>

#include <algorithm>
#include <cstring>

namespace ternlock {
namespace {

constexpr int kPiece = 65535;

void Box(const AnsiString& text, const char* caption) { MessageBoxA(0, text.c_str(), caption, MB_OK); }

}  // namespace

int CheckFileExist(const char* path) {
  TSearchRec rec;
  int found = FindFirst(path, faAnyFile, rec);
  if (found != 0) return 0;
  FindClose(rec);
  return 1;
}

int HLoadFileToBuffer(const char* path, std::int32_t* size, HGLOBAL* handle) {
  int file = FileOpen(path, fmOpenReadWrite | fmShareDenyNone);
  if (file < 0) {
    Box(Format("File not Found !\n[%s]", path), "HLoadFileToBuffer(..)");
    return -1;
  }
  std::int64_t length = FileSeek64(file, 0, 2);
  FileSeek(file, 0, 0);
  FileClose(file);
  *size = static_cast<std::int32_t>(std::min<std::int64_t>(std::max<std::int64_t>(length, 0), INT32_MAX));
  if (*size == 0) return 0;

  // The size rounded up past the next multiple of 64 KiB, plus 1 KiB.
  std::int64_t blockSize = (static_cast<std::int64_t>(*size) / 65536 + 1) * 65536 + 1024;
  HGLOBAL block = blockSize <= UINT32_MAX ? GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, static_cast<SIZE_T>(blockSize)) : 0;
  if (!block) {
    Box("Memory error.", "Load BIN File");
    return 0;
  }
  auto* data = static_cast<char*>(GlobalLock(block));
  if (!data) {
    Box("no lock", "");
    GlobalFree(block);  // the file cannot be read without the block
    return 0;
  }
  file = FileOpen(path, fmOpenReadWrite | fmShareDenyNone);
  if (file < 0) {
    GlobalUnlock(block);
    GlobalFree(block);
    Box(Format("File not Found !\n[%s]", path), "HLoadFileToBuffer(..)");
    return -1;
  }
  std::int32_t done = 0;
  while (done < *size) {
    int got = FileRead(file, data + done, std::min(kPiece, *size - done));
    if (got <= 0) break;
    done += got;
  }
  FileClose(file);
  GlobalUnlock(block);
  *handle = block;
  return 1;
}

int HSaveBufferToFile(HGLOBAL block, std::int32_t length, const char* path) {
  pinforge::ReplacingFile out(path);
  if (!out.IsOpen()) return 1;
  const auto* data = static_cast<const char*>(GlobalLock(block));
  std::int32_t total = std::clamp<std::int64_t>(length, 0, data ? GlobalSize(block) : 0);
  bool ok = true;
  for (std::int32_t done = 0; ok && done < total; done += kPiece) ok = out.Write(data + done, std::min(kPiece, total - done));
  if (data) GlobalUnlock(block);
  if (ok) out.Commit();
  return 1;
}

int WriteBlankTable(std::int32_t length, const char* path) {
  if (length < 0) length = 0;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(length));
  if (!block) return 1;
  if (void* data = GlobalLock(block)) {
    std::memset(data, 0xFF, static_cast<std::size_t>(length));
    GlobalUnlock(block);
  }
  int result = HSaveBufferToFile(block, length, path);
  GlobalFree(block);
  return result;
}

}  // namespace ternlock
