// An engine library for the tests: the entry points the component binds to, with the version and
// the entry points chosen at build time. Its exec entry calls back every action code in turn.
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <string>

#include <pinforge/addr32.h>

#include "CallBack.h"

#define EXPORT extern "C" __attribute__((visibility("default")))
#define JOIN2(a, b) a##b
#define JOIN(a, b) JOIN2(a, b)

#if HAS_VERSION
EXPORT std::int32_t JOIN(JOIN(Get, ENGINE), EngVersion)() { return ENGINE_VERSION; }
#endif

#if HAS_EXEC
namespace {
CallBack::EngineHead gHead;
int gCalls = 0;
}  // namespace

// The record as last received (148 or 16464 bytes, by where its end marker is), and the texts it
// pointed to: the archive name, then each file pattern, one per line.
std::string gRecord, gTexts;

void KeepRecord(const char* r) {
  auto at = [&](std::size_t offset) {
    std::uint32_t v;
    std::memcpy(&v, r + offset, 4);
    return v;
  };
  auto text = [](std::uint32_t field) {
    const char* p = pinforge::addr32::FromField<const char>(field);
    return std::string(p ? p : "");
  };
  bool newer = at(144) == 7 && at(72) != 7;
  if (!newer && at(72) != 7) return;  // no command record: a test's bare head
  gRecord.assign(r, newer ? 148 : 16464);
  gTexts = text(at(68));
  std::uint32_t count = at(64);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t field;
    if (newer) std::memcpy(&field, pinforge::addr32::FromField<const char>(at(72)) + 72 * i, 4);
    else field = at(76 + 4 * i);
    gTexts += "\n" + text(field);
  }
}

EXPORT std::int32_t JOIN(ENGINE, EngExec)(void* record) {
  std::memcpy(&gHead, record, sizeof gHead);
#if defined(ENGINE_Unz)
  KeepRecord(static_cast<const char*>(record));
#endif
  auto callback = reinterpret_cast<CallBack::CallbackFunction>(pinforge::addr32::FromField(gHead.Callback));
  struct Step {
    std::uint32_t action;
    std::int32_t error, size;
    const char* text;
  } steps[] = {{5, 0, 2, ""},           {6, 0, 300, ""},      {1, 0, 100, "dir/a.txt"}, {2, 0, 100, ""},
               {4, 384, 0, "bad CRC in dir/a.txt  \r\n"}, {4, 0, 0, "Unzipped file dir/a.txt"}, {7, 0, 5, "x"},
               {0, 0, 0, ""},           {3, 0, 0, ""}};
  gCalls = 0;
  CallBack::ZCallBackStruct cb;
  for (const Step& s : steps) {
    std::memset(&cb, 0, sizeof cb);
    cb.Caller = gHead.Caller;
    cb.ActionCode = s.action;
    cb.ErrorCode = s.error;
    cb.FileSize = s.size;
    std::strncpy(cb.FileNameOrMsg, s.text, sizeof cb.FileNameOrMsg - 1);
    ++gCalls;
    if (callback(&cb)) break;  // the component asks to stop
  }
  return gCalls;
}
EXPORT void TestEngineHead(CallBack::EngineHead* out) { *out = gHead; }
// Copies of what KeepRecord kept; their sizes.
EXPORT int TestEngineRecord(char* out, int size) {
  int n = static_cast<int>(gRecord.size());
  if (out) std::memcpy(out, gRecord.data(), static_cast<std::size_t>(std::min(n, size)));
  return n;
}
EXPORT int TestEngineTexts(char* out, int size) {
  int n = static_cast<int>(gTexts.size());
  if (out) std::memcpy(out, gTexts.data(), static_cast<std::size_t>(std::min(n, size)));
  return n;
}
#endif
