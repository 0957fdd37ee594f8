// Time stamps: FILETIME, SYSTEMTIME, local time and the DOS date and time of file records.
#include <sys/time.h>
#include <time.h>

#include <win32/windows.h>

namespace {

constexpr std::uint64_t kTicksPerSecond = 10000000ull;
constexpr std::int64_t kEpochDelta = 11644473600ll;  // seconds from 1601 to 1970

std::uint64_t Ticks(const FILETIME* ft) { return (static_cast<std::uint64_t>(ft->dwHighDateTime) << 32) | ft->dwLowDateTime; }
void Put(FILETIME* ft, std::uint64_t t) {
  ft->dwLowDateTime = static_cast<DWORD>(t);
  ft->dwHighDateTime = static_cast<DWORD>(t >> 32);
}

// Offset of local time from UTC, in seconds, at the given UTC moment.
long LocalOffset(time_t utc) {
  struct tm tm;
  localtime_r(&utc, &tm);
  return tm.tm_gmtoff;
}

void ToSystemTime(std::uint64_t ticks, SYSTEMTIME* st) {
  time_t secs = static_cast<time_t>(ticks / kTicksPerSecond) - kEpochDelta;
  struct tm tm;
  gmtime_r(&secs, &tm);
  st->wYear = static_cast<WORD>(tm.tm_year + 1900);
  st->wMonth = static_cast<WORD>(tm.tm_mon + 1);
  st->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
  st->wDay = static_cast<WORD>(tm.tm_mday);
  st->wHour = static_cast<WORD>(tm.tm_hour);
  st->wMinute = static_cast<WORD>(tm.tm_min);
  st->wSecond = static_cast<WORD>(tm.tm_sec);
  st->wMilliseconds = static_cast<WORD>((ticks % kTicksPerSecond) / 10000);
}

}  // namespace

extern "C" {

BOOL WINAPI FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
  std::uint64_t t = Ticks(utc);
  time_t secs = static_cast<time_t>(t / kTicksPerSecond) - kEpochDelta;
  Put(local, t + static_cast<std::uint64_t>(static_cast<std::int64_t>(LocalOffset(secs)) * static_cast<std::int64_t>(kTicksPerSecond)));
  return TRUE;
}

BOOL WINAPI LocalFileTimeToFileTime(const FILETIME* local, FILETIME* utc) {
  std::uint64_t t = Ticks(local);
  time_t secs = static_cast<time_t>(t / kTicksPerSecond) - kEpochDelta;
  long off = LocalOffset(secs - LocalOffset(secs));
  Put(utc, t - static_cast<std::uint64_t>(static_cast<std::int64_t>(off) * static_cast<std::int64_t>(kTicksPerSecond)));
  return TRUE;
}

BOOL WINAPI FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* system) {
  ToSystemTime(Ticks(time), system);
  return TRUE;
}

BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* time) {
  if (st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1 || st->wDay > 31 || st->wHour > 23 || st->wMinute > 59 ||
      st->wSecond > 59 || st->wMilliseconds > 999 || st->wYear < 1601) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  struct tm tm = {};
  tm.tm_year = st->wYear - 1900;
  tm.tm_mon = st->wMonth - 1;
  tm.tm_mday = st->wDay;
  tm.tm_hour = st->wHour;
  tm.tm_min = st->wMinute;
  tm.tm_sec = st->wSecond;
  time_t secs = timegm(&tm);
  Put(time, static_cast<std::uint64_t>(secs + kEpochDelta) * kTicksPerSecond + st->wMilliseconds * 10000ull);
  return TRUE;
}

BOOL WINAPI FileTimeToDosDateTime(const FILETIME* time, WORD* date, WORD* dosTime) {
  SYSTEMTIME st;
  ToSystemTime(Ticks(time), &st);
  if (st.wYear < 1980 || st.wYear > 2107) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (date) *date = static_cast<WORD>(((st.wYear - 1980) << 9) | (st.wMonth << 5) | st.wDay);
  if (dosTime) *dosTime = static_cast<WORD>((st.wHour << 11) | (st.wMinute << 5) | (st.wSecond / 2));
  return TRUE;
}

BOOL WINAPI DosDateTimeToFileTime(WORD date, WORD dosTime, FILETIME* time) {
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(1980 + (date >> 9));
  st.wMonth = static_cast<WORD>((date >> 5) & 15);
  st.wDay = static_cast<WORD>(date & 31);
  st.wHour = static_cast<WORD>(dosTime >> 11);
  st.wMinute = static_cast<WORD>((dosTime >> 5) & 63);
  st.wSecond = static_cast<WORD>((dosTime & 31) * 2);
  return SystemTimeToFileTime(&st, time);
}

void WINAPI GetSystemTime(SYSTEMTIME* time) {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  ToSystemTime(static_cast<std::uint64_t>(ts.tv_sec + kEpochDelta) * kTicksPerSecond + static_cast<std::uint64_t>(ts.tv_nsec) / 100, time);
}

void WINAPI GetLocalTime(SYSTEMTIME* time) {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  std::int64_t secs = ts.tv_sec + LocalOffset(ts.tv_sec);
  ToSystemTime(static_cast<std::uint64_t>(secs + kEpochDelta) * kTicksPerSecond + static_cast<std::uint64_t>(ts.tv_nsec) / 100, time);
}

}  // extern "C"
