// pinforge-host: the workstation's part towards the companion libraries. It loads a library by
// name as the workstation does and calls its exports.
#include <win32/windows.h>

#include <pinforge/machine.h>
#include <vcl/Graphics.h>
#include <vcl/SysUtils.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kUsage = 2;

int Usage() {
  std::fprintf(stderr,
               "usage: pinforge-host ternlock sync\n"
               "       pinforge-host ternlock package [--out FILE]\n"
               "       pinforge-host quillport install\n"
               "       pinforge-host duskplate export OUT.bmp [--frame N] [--raw]\n");
  return kUsage;
}

// A host path (with '/') is taken through the machine's mapping; anything else is a Windows path.
std::string WindowsPathOf(const std::string& arg) {
  return arg.find('/') != std::string::npos ? pinforge::machine::HostToWindows(arg) : arg;
}

class Library {
 public:
  explicit Library(const char* name, DWORD flags = 0) : name_(name), module_(LoadLibraryExA(name, 0, flags)) {
    if (!module_) std::fprintf(stderr, "pinforge-host: cannot load %s (error %u)\n", name, GetLastError());
  }
  ~Library() {
    if (module_) FreeLibrary(module_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  explicit operator bool() const { return module_ != 0; }
  HMODULE Handle() const { return module_; }

  template <class F>
  F Export(const char* symbol) const {
    auto f = reinterpret_cast<F>(GetProcAddress(module_, symbol));
    if (!f) std::fprintf(stderr, "pinforge-host: %s has no export %s\n", name_, symbol);
    return f;
  }

 private:
  const char* name_;
  HMODULE module_;
};

void HexDump(const unsigned char* data, std::size_t size) {
  for (std::size_t row = 0; row < size; row += 16) {
    std::printf("%08zX ", row);
    std::string ascii;
    for (std::size_t i = row; i < row + 16; ++i) {
      if (i < size) {
        std::printf(" %02X", data[i]);
        ascii += (data[i] >= 0x20 && data[i] < 0x7F) ? static_cast<char>(data[i]) : '.';
      } else {
        std::printf("   ");
      }
    }
    std::printf("  |%s|\n", ascii.c_str());
  }
}

// Calls an export that takes nothing and returns an int, and prints "result=N".
int PrintResult(const char* library, const char* symbol) {
  Library lib(library);
  if (!lib) return kUsage;
  auto call = lib.Export<int (*)()>(symbol);
  if (!call) return kUsage;
  std::printf("result=%d\n", call());
  return 0;
}

// Writes bytes to a file of the machine; false (after a message) when it cannot.
bool WriteBytes(const std::string& path, const void* data, int size) {
  int file = FileCreate(path);
  bool ok = file >= 0 && FileWrite(file, data, size) == size;
  if (file >= 0) FileClose(file);
  if (!ok) std::fprintf(stderr, "pinforge-host: cannot write %s (error %u)\n", path.c_str(), GetLastError());
  return ok;
}

int TernlockPackage(const std::string& out) {
  Library lib("Ternlock.dll");
  if (!lib) return kUsage;
  auto package = lib.Export<int (*)(HGLOBAL*)>("DllPackageData");
  if (!package) return kUsage;
  HGLOBAL block = 0;
  int result = package(&block);
  SIZE_T size = block ? GlobalSize(block) : 0;
  std::printf("result=%d size=%u\n", result, size);
  if (!block) return 0;
  const auto* bytes = static_cast<const unsigned char*>(GlobalLock(block));
  int status = 0;
  if (!out.empty()) {
    if (!WriteBytes(WindowsPathOf(out), bytes, static_cast<int>(size))) status = kUsage;
  } else if (bytes) {
    HexDump(bytes, size);
  }
  GlobalUnlock(block);
  GlobalFree(block);
  return status;
}

// The socket picture, whole or one 210-pixel frame, as a .bmp file; or the resource's bytes.
int DuskplateExport(const std::string& out, int frame, bool raw) {
  Library lib("Duskplate.dll", LOAD_LIBRARY_AS_DATAFILE);
  if (!lib) return kUsage;
  std::string path = WindowsPathOf(out);
  try {
    if (raw) {
      HRSRC res = FindResourceA(lib.Handle(), "SOCKET4", RT_BITMAP);
      if (!res) throw Exception("Duskplate.dll has no bitmap SOCKET4");
      const void* data = LockResource(LoadResource(lib.Handle(), res));
      int size = static_cast<int>(SizeofResource(lib.Handle(), res));
      if (!WriteBytes(path, data, size)) return kUsage;
      std::printf("size=%d\n", size);
      return 0;
    }
    TBitmap picture;
    picture.LoadFromResourceName(lib.Handle(), "SOCKET4");
    if (frame < 0) {
      picture.SaveToFile(path);
    } else {
      constexpr int kFrame = 210;
      if (frame * kFrame >= picture.Width()) throw Exception("the picture has no frame " + std::to_string(frame));
      TBitmap view;
      view.SetPixelFormat(picture.PixelFormat());
      view.SetPalette(picture.Palette());
      view.SetSize(kFrame, picture.Height());
      view.Canvas()->CopyRect(Rect(0, 0, kFrame, picture.Height()), *picture.Canvas(),
                              Rect(kFrame * frame, 0, kFrame * (frame + 1), picture.Height()));
      view.SaveToFile(path);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "pinforge-host: %s\n", e.what());
    return kUsage;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() >= 2 && args[0] == "ternlock") {
    if (args[1] == "sync" && args.size() == 2) return PrintResult("Ternlock.dll", "ReadIniDataAndSetToHistory");
    if (args[1] == "package") {
      std::string out;
      for (std::size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--out" && i + 1 < args.size()) out = args[++i];
        else return Usage();
      }
      return TernlockPackage(out);
    }
  }
  if (args.size() == 2 && args[0] == "quillport" && args[1] == "install") return PrintResult("Quillport.dll", "TestDLL");
  if (args.size() >= 3 && args[0] == "duskplate" && args[1] == "export") {
    int frame = -1;
    bool raw = false;
    for (std::size_t i = 3; i < args.size(); ++i) {
      if (args[i] == "--raw") raw = true;
      else if (args[i] == "--frame" && i + 1 < args.size() && TryStrToInt(args[i + 1], frame) && frame >= 0) ++i;
      else return Usage();
    }
    if (raw && frame >= 0) return Usage();
    return DuskplateExport(args[2], frame, raw);
  }
  return Usage();
}
