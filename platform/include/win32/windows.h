// The Windows API of the emulated machine: every kernel, user and shell call the modules use,
// with the 32-bit types and constants of the original platform. Handles are 32-bit values.
#pragma once

#include <cstddef>
#include <cstdint>

#define PF_API __attribute__((visibility("default")))
#define WINAPI
#define CALLBACK

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using BOOL = std::int32_t;
using CHAR = char;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPDWORD = DWORD*;
using LPLONG = LONG*;
using SIZE_T = std::uint32_t;

using HANDLE = std::uint32_t;
using HMODULE = std::uint32_t;
using HINSTANCE = HMODULE;
using HGLOBAL = std::uint32_t;
using HWND = std::uint32_t;
using HKEY = std::uint32_t;
using HRSRC = std::uint32_t;
using FARPROC = void (*)();
// Message parameters and results carry pointers, so they are pointer-sized here (as on 64-bit
// Windows); the handles stay 32-bit.
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using HHOOK = std::uint32_t;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
constexpr HANDLE INVALID_HANDLE_VALUE = 0xFFFFFFFFu;
constexpr DWORD MAX_PATH = 260;

// Error codes (GetLastError).
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD NO_ERROR = 0;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_BAD_FORMAT = 11;
constexpr DWORD ERROR_INVALID_ACCESS = 12;
constexpr DWORD ERROR_OUTOFMEMORY = 14;
constexpr DWORD ERROR_INVALID_DRIVE = 15;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_WRITE_PROTECT = 19;
constexpr DWORD ERROR_NOT_READY = 21;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_HANDLE_DISK_FULL = 39;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_BAD_NETPATH = 53;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
constexpr DWORD ERROR_BAD_PATHNAME = 161;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_NOT_LOCKED = 158;
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_INVALID_HOOK_HANDLE = 1404;
constexpr DWORD ERROR_CONTROL_ID_NOT_FOUND = 1421;
constexpr DWORD ERROR_INVALID_HOOK_FILTER = 1426;
constexpr DWORD ERROR_INVALID_FILTER_PROC = 1427;
constexpr DWORD ERROR_HOOK_NEEDS_HMOD = 1428;
constexpr DWORD ERROR_BADDB = 1009;
constexpr DWORD ERROR_BADKEY = 1010;
constexpr DWORD ERROR_CANTWRITE = 1013;
constexpr DWORD ERROR_KEY_DELETED = 1018;
constexpr DWORD ERROR_CALL_NOT_IMPLEMENTED = 120;
constexpr DWORD ERROR_INVALID_SERVICE_ACCOUNT = 1057;
constexpr DWORD ERROR_SERVICE_DOES_NOT_EXIST = 1060;
constexpr DWORD ERROR_SERVICE_EXISTS = 1073;
constexpr DWORD ERROR_DUPLICATE_SERVICE_NAME = 1078;
constexpr DWORD ERROR_DATABASE_DOES_NOT_EXIST = 1065;
constexpr DWORD ERROR_INVALID_SERVICE_NAME = 123;
constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

extern "C" {

// ---- errors and process ---------------------------------------------------------------------
PF_API DWORD WINAPI GetLastError();
PF_API void WINAPI SetLastError(DWORD code);
constexpr UINT SEM_FAILCRITICALERRORS = 0x0001;
constexpr UINT SEM_NOGPFAULTERRORBOX = 0x0002;
constexpr UINT SEM_NOOPENFILEERRORBOX = 0x8000;
PF_API UINT WINAPI SetErrorMode(UINT mode);
PF_API DWORD WINAPI GetTickCount();
PF_API void WINAPI Sleep(DWORD milliseconds);
PF_API DWORD WINAPI GetCurrentThreadId();
PF_API DWORD WINAPI GetCurrentProcessId();

// ---- version and folders ---------------------------------------------------------------------
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;
struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOA) == 148);
PF_API BOOL WINAPI GetVersionExA(OSVERSIONINFOA* info);
PF_API UINT WINAPI GetWindowsDirectoryA(LPSTR buffer, UINT size);
PF_API UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size);
PF_API DWORD WINAPI GetTempPathA(DWORD size, LPSTR buffer);
PF_API UINT WINAPI GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR tempFileName);
PF_API DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer);
PF_API BOOL WINAPI SetCurrentDirectoryA(LPCSTR path);
PF_API DWORD WINAPI GetFullPathNameA(LPCSTR fileName, DWORD size, LPSTR buffer, LPSTR* filePart);

// ---- files -----------------------------------------------------------------------------------
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
struct SYSTEMTIME {
  WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};
struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];
};
static_assert(sizeof(WIN32_FIND_DATAA) == 320);

PF_API HANDLE WINAPI CreateFileA(LPCSTR name, DWORD access, DWORD share, void* security, DWORD disposition,
                                 DWORD flags, HANDLE templateFile);
PF_API BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, void* overlapped);
PF_API BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, void* overlapped);
PF_API DWORD WINAPI SetFilePointer(HANDLE file, LONG distance, LPLONG distanceHigh, DWORD method);
PF_API BOOL WINAPI SetEndOfFile(HANDLE file);
PF_API BOOL WINAPI FlushFileBuffers(HANDLE file);
PF_API DWORD WINAPI GetFileSize(HANDLE file, LPDWORD sizeHigh);
PF_API BOOL WINAPI GetFileTime(HANDLE file, FILETIME* creation, FILETIME* access, FILETIME* write);
PF_API BOOL WINAPI SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* access, const FILETIME* write);
PF_API BOOL WINAPI CloseHandle(HANDLE handle);
PF_API BOOL WINAPI DeleteFileA(LPCSTR name);
PF_API BOOL WINAPI MoveFileA(LPCSTR from, LPCSTR to);
PF_API BOOL WINAPI MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags);
PF_API BOOL WINAPI CopyFileA(LPCSTR from, LPCSTR to, BOOL failIfExists);
PF_API DWORD WINAPI GetFileAttributesA(LPCSTR name);
PF_API BOOL WINAPI SetFileAttributesA(LPCSTR name, DWORD attributes);
PF_API BOOL WINAPI CreateDirectoryA(LPCSTR name, void* security);
PF_API BOOL WINAPI RemoveDirectoryA(LPCSTR name);
PF_API HANDLE WINAPI FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data);
PF_API BOOL WINAPI FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);
PF_API BOOL WINAPI FindClose(HANDLE find);

PF_API BOOL WINAPI FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local);
PF_API BOOL WINAPI LocalFileTimeToFileTime(const FILETIME* local, FILETIME* utc);
PF_API BOOL WINAPI FileTimeToDosDateTime(const FILETIME* time, WORD* date, WORD* dosTime);
PF_API BOOL WINAPI DosDateTimeToFileTime(WORD date, WORD dosTime, FILETIME* time);
PF_API BOOL WINAPI FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* system);
PF_API BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME* system, FILETIME* time);
PF_API void WINAPI GetLocalTime(SYSTEMTIME* time);
PF_API void WINAPI GetSystemTime(SYSTEMTIME* time);

// ---- drives and volumes --------------------------------------------------------------------------
constexpr UINT DRIVE_UNKNOWN = 0;
constexpr UINT DRIVE_NO_ROOT_DIR = 1;
constexpr UINT DRIVE_REMOVABLE = 2;
constexpr UINT DRIVE_FIXED = 3;
constexpr UINT DRIVE_REMOTE = 4;
constexpr UINT DRIVE_CDROM = 5;
constexpr UINT DRIVE_RAMDISK = 6;
constexpr DWORD ERROR_BAD_LENGTH = 24;
// A root is "X:\"; NULL is the current drive's.
PF_API UINT WINAPI GetDriveTypeA(LPCSTR root);
PF_API DWORD WINAPI GetLogicalDrives();  // bit 0 is A:
PF_API BOOL WINAPI GetVolumeInformationA(LPCSTR root, LPSTR label, DWORD labelSize, LPDWORD serial,
                                         LPDWORD maxComponentLength, LPDWORD fileSystemFlags, LPSTR fileSystem,
                                         DWORD fileSystemSize);
PF_API BOOL WINAPI SetVolumeLabelA(LPCSTR root, LPCSTR label);
PF_API BOOL WINAPI GetDiskFreeSpaceA(LPCSTR root, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                                     LPDWORD freeClusters, LPDWORD totalClusters);
PF_API BOOL WINAPI GetDiskFreeSpaceExA(LPCSTR directory, std::uint64_t* freeToCaller, std::uint64_t* total,
                                       std::uint64_t* totalFree);

// ---- modules ---------------------------------------------------------------------------------
constexpr DWORD DONT_RESOLVE_DLL_REFERENCES = 0x1;
constexpr DWORD LOAD_LIBRARY_AS_DATAFILE = 0x2;
constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT = 0x2;
constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS = 0x4;
PF_API HMODULE WINAPI LoadLibraryA(LPCSTR name);
PF_API HMODULE WINAPI LoadLibraryExA(LPCSTR name, HANDLE reserved, DWORD flags);
PF_API BOOL WINAPI FreeLibrary(HMODULE module);
PF_API FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name);
PF_API DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
PF_API HMODULE WINAPI GetModuleHandleA(LPCSTR name);
PF_API BOOL WINAPI GetModuleHandleExA(DWORD flags, LPCSTR nameOrAddress, HMODULE* module);

// ---- resources -------------------------------------------------------------------------------
// A resource type or name given by number.
inline LPCSTR MAKEINTRESOURCEA(WORD id) { return reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(id)); }
inline bool IS_INTRESOURCE(LPCSTR p) { return reinterpret_cast<std::uintptr_t>(p) < 0x10000; }
inline const LPCSTR RT_BITMAP = MAKEINTRESOURCEA(2);
inline const LPCSTR RT_STRING = MAKEINTRESOURCEA(6);
inline const LPCSTR RT_RCDATA = MAKEINTRESOURCEA(10);
constexpr DWORD ERROR_RESOURCE_LANG_NOT_FOUND = 1815;
// Names compare case-insensitively; "#123" is the number 123. FindResourceA takes any language.
PF_API HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
PF_API HRSRC WINAPI FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language);
PF_API HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource);
// String id's text from the module's string table, in code page 1252, cut to size - 1 characters;
// the length copied, 0 when there is no such string.
PF_API int WINAPI LoadStringA(HINSTANCE module, UINT id, LPSTR buffer, int size);
PF_API LPVOID WINAPI LockResource(HGLOBAL resourceData);
PF_API DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource);

// ---- global memory ---------------------------------------------------------------------------
constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;
PF_API HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes);
PF_API LPVOID WINAPI GlobalLock(HGLOBAL memory);
PF_API BOOL WINAPI GlobalUnlock(HGLOBAL memory);
PF_API HGLOBAL WINAPI GlobalFree(HGLOBAL memory);
PF_API SIZE_T WINAPI GlobalSize(HGLOBAL memory);
PF_API HGLOBAL WINAPI GlobalReAlloc(HGLOBAL memory, SIZE_T bytes, UINT flags);

// ---- registry --------------------------------------------------------------------------------
constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr HKEY HKEY_USERS = 0x80000003u;
constexpr DWORD KEY_QUERY_VALUE = 0x0001;
constexpr DWORD KEY_SET_VALUE = 0x0002;
constexpr DWORD KEY_CREATE_SUB_KEY = 0x0004;
constexpr DWORD KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr DWORD KEY_READ = 0x20019;
constexpr DWORD KEY_WRITE = 0x20006;
constexpr DWORD KEY_ALL_ACCESS = 0xF003F;
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;
PF_API LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, DWORD access, HKEY* result);
PF_API LONG WINAPI RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options,
                                   DWORD access, void* security, HKEY* result, LPDWORD disposition);
PF_API LONG WINAPI RegCloseKey(HKEY key);
PF_API LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, BYTE* data,
                                    LPDWORD size);
PF_API LONG WINAPI RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                                  DWORD size);
PF_API LONG WINAPI RegDeleteValueA(HKEY key, LPCSTR name);
PF_API LONG WINAPI RegDeleteKeyA(HKEY key, LPCSTR subKey);
PF_API LONG WINAPI RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                                 LPSTR className, LPDWORD classSize, FILETIME* lastWrite);
PF_API LONG WINAPI RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                                 LPDWORD type, BYTE* data, LPDWORD dataSize);
PF_API LONG WINAPI RegQueryInfoKeyA(HKEY key, LPSTR className, LPDWORD classSize, LPDWORD reserved,
                                    LPDWORD subKeys, LPDWORD maxSubKeyLen, LPDWORD maxClassLen, LPDWORD values,
                                    LPDWORD maxValueNameLen, LPDWORD maxValueLen, LPDWORD securityDescriptor,
                                    FILETIME* lastWrite);

// ---- profile (ini) files -----------------------------------------------------------------------
PF_API DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                                             DWORD size, LPCSTR fileName);
PF_API UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR fileName);
PF_API BOOL WINAPI WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);

// ---- service manager -------------------------------------------------------------------------
using SC_HANDLE = std::uint32_t;
constexpr DWORD SC_MANAGER_CONNECT = 0x0001;
constexpr DWORD SC_MANAGER_CREATE_SERVICE = 0x0002;
constexpr DWORD SC_MANAGER_ENUMERATE_SERVICE = 0x0004;
constexpr DWORD SC_MANAGER_LOCK = 0x0008;
constexpr DWORD SC_MANAGER_QUERY_LOCK_STATUS = 0x0010;
constexpr DWORD SC_MANAGER_MODIFY_BOOT_CONFIG = 0x0020;
constexpr DWORD SC_MANAGER_ALL_ACCESS = 0xF003F;
constexpr DWORD SERVICE_QUERY_CONFIG = 0x0001;
constexpr DWORD SERVICE_QUERY_STATUS = 0x0004;
constexpr DWORD SERVICE_ALL_ACCESS = 0xF01FF;
constexpr DWORD SERVICE_KERNEL_DRIVER = 0x01;
constexpr DWORD SERVICE_FILE_SYSTEM_DRIVER = 0x02;
constexpr DWORD SERVICE_WIN32_OWN_PROCESS = 0x10;
constexpr DWORD SERVICE_WIN32_SHARE_PROCESS = 0x20;
constexpr DWORD SERVICE_INTERACTIVE_PROCESS = 0x100;
constexpr DWORD SERVICE_BOOT_START = 0;
constexpr DWORD SERVICE_SYSTEM_START = 1;
constexpr DWORD SERVICE_AUTO_START = 2;
constexpr DWORD SERVICE_DEMAND_START = 3;
constexpr DWORD SERVICE_DISABLED = 4;
constexpr DWORD SERVICE_ERROR_IGNORE = 0;
constexpr DWORD SERVICE_ERROR_NORMAL = 1;
constexpr DWORD SERVICE_ERROR_SEVERE = 2;
constexpr DWORD SERVICE_ERROR_CRITICAL = 3;
PF_API SC_HANDLE WINAPI OpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access);
PF_API SC_HANDLE WINAPI OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access);
PF_API SC_HANDLE WINAPI CreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR displayName, DWORD access,
                                       DWORD serviceType, DWORD startType, DWORD errorControl, LPCSTR binaryPath,
                                       LPCSTR loadOrderGroup, LPDWORD tagId, LPCSTR dependencies,
                                       LPCSTR serviceStartName, LPCSTR password);
PF_API BOOL WINAPI CloseServiceHandle(SC_HANDLE handle);

// ---- shell ---------------------------------------------------------------------------------------
constexpr UINT FO_MOVE = 1;
constexpr UINT FO_COPY = 2;
constexpr UINT FO_DELETE = 3;
constexpr WORD FOF_SILENT = 0x0004;
constexpr WORD FOF_NOCONFIRMATION = 0x0010;
constexpr WORD FOF_ALLOWUNDO = 0x0040;
constexpr WORD FOF_NOERRORUI = 0x0400;
struct SHFILEOPSTRUCTA {
  HWND hwnd;
  UINT wFunc;
  LPCSTR pFrom;  // fully qualified names, each NUL-terminated, the list ending in a second NUL
  LPCSTR pTo;
  WORD fFlags;
  BOOL fAnyOperationsAborted;
  LPVOID hNameMappings;
  LPCSTR lpszProgressTitle;
};
// FO_DELETE only: each file or folder is deleted, to the recycle bin of its fixed drive with
// FOF_ALLOWUNDO (removable drives have none); 0 on success, else an error code.
PF_API int WINAPI SHFileOperationA(SHFILEOPSTRUCTA* operation);

// The shell's format dialog for a removable drive (0 = A:), modal, owned by the given window; the
// user (or a window hook) starts the format and closes the dialog. Taken from "Shell32.dll" by name.
constexpr UINT SHFMT_ID_DEFAULT = 0xFFFF;
constexpr DWORD SHFMT_ERROR = 0xFFFFFFFFu;     // the last format failed
constexpr DWORD SHFMT_CANCEL = 0xFFFFFFFEu;    // closed without a format
constexpr DWORD SHFMT_NOFORMAT = 0xFFFFFFFDu;  // the drive cannot be formatted
using SHFormatDriveFunction = DWORD (*)(HWND owner, UINT drive, UINT formatId, UINT options);
PF_API DWORD WINAPI SHFormatDrive(HWND owner, UINT drive, UINT formatId, UINT options);

// ---- user interface --------------------------------------------------------------------------
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_RETRYCANCEL = 0x5;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x40;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_DEFBUTTON1 = 0x000;
constexpr UINT MB_DEFBUTTON2 = 0x100;
constexpr UINT MB_DEFBUTTON3 = 0x200;
constexpr UINT MB_APPLMODAL = 0x0000;
constexpr UINT MB_SYSTEMMODAL = 0x1000;
constexpr UINT MB_TASKMODAL = 0x2000;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
PF_API int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
// OEM (code page 437) text to ANSI (code page 1252); source and destination may be the same.
PF_API BOOL WINAPI OemToCharBuffA(LPCSTR source, LPSTR destination, DWORD length);
PF_API BOOL WINAPI OemToCharA(LPCSTR source, LPSTR destination);
PF_API BOOL WINAPI IsWindow(HWND window);
PF_API BOOL WINAPI DestroyWindow(HWND window);
PF_API int WINAPI GetWindowTextA(HWND window, LPSTR buffer, int size);
PF_API BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text);

// Windows, messages and hooks. Every window belongs to the thread that made it; a sent message is
// handled at once on that thread, a posted one when that thread next looks at its queue. Hooks of
// WH_CALLWNDPROCRET see every message a window of their thread has handled, with its result.
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_USER = 0x0400;
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BM_GETSTATE = 0x00F2;
constexpr UINT BM_SETSTYLE = 0x00F4;
constexpr UINT BM_CLICK = 0x00F5;
constexpr UINT BN_CLICKED = 0;
constexpr UINT BST_UNCHECKED = 0;
constexpr UINT BST_CHECKED = 1;
constexpr DWORD BS_PUSHBUTTON = 0x0;
constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
constexpr DWORD BS_AUTOCHECKBOX = 0x3;
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;
constexpr int WH_CALLWNDPROC = 4;
constexpr int WH_CALLWNDPROCRET = 12;
constexpr int HC_ACTION = 0;
struct CWPRETSTRUCT {
  LRESULT lResult;
  LPARAM lParam;
  WPARAM wParam;
  UINT message;
  HWND hwnd;
};
using HOOKPROC = LRESULT (*)(int code, WPARAM wParam, LPARAM lParam);
using WNDENUMPROC = BOOL (*)(HWND window, LPARAM lParam);
PF_API LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
PF_API BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Hooks of WH_CALLWNDPROCRET only; thread 0 (every thread) needs a module.
PF_API HHOOK WINAPI SetWindowsHookExA(int hookId, HOOKPROC procedure, HINSTANCE module, DWORD threadId);
PF_API LRESULT WINAPI CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);
PF_API BOOL WINAPI UnhookWindowsHookEx(HHOOK hook);
// The thread's windows that are not child windows, in the order they were made.
PF_API BOOL WINAPI EnumThreadWindows(DWORD threadId, WNDENUMPROC procedure, LPARAM lParam);
PF_API DWORD WINAPI GetWindowThreadProcessId(HWND window, LPDWORD processId);
// A child window's parent, or a top-level window's owner.
PF_API HWND WINAPI GetParent(HWND window);
PF_API HWND WINAPI GetDlgItem(HWND dialog, int id);
PF_API int WINAPI GetDlgCtrlID(HWND window);
PF_API BOOL WINAPI EnableWindow(HWND window, BOOL enable);  // whether it was disabled before
PF_API BOOL WINAPI IsWindowEnabled(HWND window);
PF_API BOOL WINAPI ShowWindow(HWND window, int command);  // whether it was visible before
PF_API BOOL WINAPI IsWindowVisible(HWND window);
PF_API BOOL WINAPI CheckDlgButton(HWND dialog, int id, UINT check);
PF_API UINT WINAPI IsDlgButtonChecked(HWND dialog, int id);
PF_API UINT WINAPI GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size);
PF_API BOOL WINAPI SetDlgItemTextA(HWND dialog, int id, LPCSTR text);

}  // extern "C"
