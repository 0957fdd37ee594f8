// The records through which the component and the engine libraries meet: the head every command
// record starts with, and the record the engines report through.
#pragma once

#include <cstddef>
#include <cstdint>

namespace CallBack {

#pragma pack(push, 1)
// The first five fields of both engine command records.
struct EngineHead {
  std::uint32_t OwnerWindow;
  std::uint32_t Caller;    // handed back in every callback record
  std::uint32_t Version;   // 152
  std::uint32_t Callback;  // the address of ZCallback
  std::uint32_t Trace;
};

// What an engine passes to ZCallback.
struct ZCallBackStruct {
  std::uint32_t EngineOwn0;
  std::uint32_t Caller;
  std::uint32_t EngineOwn8;
  std::uint32_t EngineOwn12;
  std::uint32_t ActionCode;
  std::int32_t ErrorCode;
  std::int32_t FileSize;
  char FileNameOrMsg[1024];  // our engines' choice of capacity
};
#pragma pack(pop)
static_assert(sizeof(EngineHead) == 20);
static_assert(offsetof(ZCallBackStruct, Caller) == 4);
static_assert(offsetof(ZCallBackStruct, ActionCode) == 16);
static_assert(offsetof(ZCallBackStruct, ErrorCode) == 20);
static_assert(offsetof(ZCallBackStruct, FileSize) == 24);
static_assert(offsetof(ZCallBackStruct, FileNameOrMsg) == 28);

constexpr std::uint32_t kRecordVersion = 152;
// The engine entry points, as the component calls them.
using ExecFunction = std::int32_t (*)(void* commandRecord);
using VersionFunction = std::int32_t (*)();
using CallbackFunction = std::int32_t (*)(ZCallBackStruct* record);

}  // namespace CallBack
