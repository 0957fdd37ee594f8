// An engine library for the tests: the entry points the component binds to, with the version and
// the entry points chosen at build time. Its exec entry calls back every action code in turn.
#include <cstdint>
#include <cstring>

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

EXPORT std::int32_t JOIN(ENGINE, EngExec)(void* record) {
  std::memcpy(&gHead, record, sizeof gHead);
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
#endif
