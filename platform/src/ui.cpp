// UI backends: the console asks at the terminal, a script file answers in order, and without
// either every question takes its default. Every interaction is also written to the transcript.
#include <pinforge/disks.h>
#include <pinforge/ui.h>

#include <unistd.h>
#include <fcntl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <vector>

#include "machine.h"
#include "text.h"

namespace pinforge::ui {
namespace {

struct Box {
  std::vector<std::string> buttons;
  int defaultIndex;
  const char* kind;
  const char* icon;
};

int IdOf(const std::string& button) {
  static const char* names[] = {"", "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"};
  for (int i = 1; i <= 7; ++i)
    if (button == names[i]) return i;
  return IDOK;
}

Box Describe(UINT type) {
  Box b;
  switch (type & 0xF) {
    case MB_OKCANCEL: b.buttons = {"OK", "Cancel"}, b.kind = "OKCANCEL"; break;
    case MB_ABORTRETRYIGNORE: b.buttons = {"Abort", "Retry", "Ignore"}, b.kind = "ABORTRETRYIGNORE"; break;
    case MB_YESNOCANCEL: b.buttons = {"Yes", "No", "Cancel"}, b.kind = "YESNOCANCEL"; break;
    case MB_YESNO: b.buttons = {"Yes", "No"}, b.kind = "YESNO"; break;
    case MB_RETRYCANCEL: b.buttons = {"Retry", "Cancel"}, b.kind = "RETRYCANCEL"; break;
    default: b.buttons = {"OK"}, b.kind = "OK"; break;
  }
  switch (type & 0xF0) {
    case MB_ICONHAND: b.icon = "stop"; break;
    case MB_ICONQUESTION: b.icon = "question"; break;
    case MB_ICONEXCLAMATION: b.icon = "warning"; break;
    case MB_ICONASTERISK: b.icon = "information"; break;
    default: b.icon = "none"; break;
  }
  int def = static_cast<int>((type >> 8) & 0xF);
  b.defaultIndex = def < static_cast<int>(b.buttons.size()) ? def : 0;
  return b;
}

std::string J(const std::string& ansi) { return text::JsonQuote(text::AnsiToUtf8(ansi)); }

class Backend {
 public:
  virtual ~Backend() = default;
  virtual const char* Name() const = 0;
  // Index into box.buttons.
  virtual int Ask(const Box& box, const std::string& caption, const std::string& textAnsi) = 0;
  virtual std::optional<std::string> Input(const std::string& caption, const std::string& prompt, const std::string& value) = 0;
  virtual std::optional<std::string> File(const FileDialogRequest& r) = 0;
  // Whether the last answer was a default rather than someone's (a script line, the terminal).
  virtual bool AnsweredByDefault() const { return true; }
  virtual void Form(const std::string&, const std::string&, const std::vector<std::string>&) {}
  virtual void Control(const std::string&, const std::string&, const std::string&, const std::string&) {}
};

class DefaultBackend : public Backend {
 public:
  const char* Name() const override { return "default"; }
  int Ask(const Box& box, const std::string&, const std::string&) override { return box.defaultIndex; }
  std::optional<std::string> Input(const std::string&, const std::string&, const std::string&) override { return std::nullopt; }
  std::optional<std::string> File(const FileDialogRequest&) override { return std::nullopt; }
};

class ConsoleBackend : public Backend {
 public:
  const char* Name() const override { return "console"; }
  bool AnsweredByDefault() const override { return eof_; }
  int Ask(const Box& box, const std::string& caption, const std::string& textAnsi) override {
    std::string choices;
    for (std::size_t i = 0; i < box.buttons.size(); ++i) choices += (i ? "/" : "") + box.buttons[i];
    for (;;) {
      std::fprintf(stderr, "\n[%s]\n%s\n%s [%s]: ", text::AnsiToUtf8(caption).c_str(), text::AnsiToUtf8(textAnsi).c_str(),
                   choices.c_str(), box.buttons[box.defaultIndex].c_str());
      std::fflush(stderr);
      std::string line;
      if (!std::getline(std::cin, line)) {
        eof_ = true;
        return box.defaultIndex;
      }
      line = std::string(text::Trim(line));
      if (line.empty()) return box.defaultIndex;
      for (std::size_t i = 0; i < box.buttons.size(); ++i)
        if (text::EqualNoCase(line, box.buttons[i]) || (line.size() == 1 && text::UpperAnsi(line[0]) == box.buttons[i][0]))
          return static_cast<int>(i);
      std::fprintf(stderr, "Please answer one of %s.\n", choices.c_str());
    }
  }
  std::optional<std::string> Input(const std::string& caption, const std::string& prompt, const std::string& value) override {
    std::fprintf(stderr, "\n[%s]\n%s [%s] (empty line keeps it, a lone '.' cancels): ", text::AnsiToUtf8(caption).c_str(),
                 text::AnsiToUtf8(prompt).c_str(), text::AnsiToUtf8(value).c_str());
    std::fflush(stderr);
    std::string line;
    if (!std::getline(std::cin, line) || line == ".") return std::nullopt;
    return line.empty() ? value : text::Utf8ToAnsi(line);
  }
  std::optional<std::string> File(const FileDialogRequest& r) override {
    std::fprintf(stderr, "\n[%s]\nFile (%s), empty line cancels: ", text::AnsiToUtf8(r.title.empty() ? (r.save ? "Save As" : "Open") : r.title).c_str(),
                 text::AnsiToUtf8(r.filter).c_str());
    std::fflush(stderr);
    std::string line;
    if (!std::getline(std::cin, line) || text::Trim(line).empty()) return std::nullopt;
    return text::Utf8ToAnsi(std::string(text::Trim(line)));
  }
  void Form(const std::string& action, const std::string& caption, const std::vector<std::string>& texts) override {
    EndBar();
    std::fprintf(stderr, "%s %s\n", action == "show" ? "==" : "--", text::AnsiToUtf8(caption).c_str());
    for (const auto& t : texts) std::fprintf(stderr, "   %s\n", text::AnsiToUtf8(t).c_str());
  }
  // A gauge is a bar on its own line, redrawn in place; other changes are lines above it.
  void Control(const std::string&, const std::string& control, const std::string& property, const std::string& value) override {
    if (property == "max" || property == "progress") {
      long long v = std::atoll(value.c_str());
      (property == "max" ? max_ : progress_) = v;
      int filled = max_ > 0 ? static_cast<int>(std::min<long long>(40, progress_ * 40 / max_)) : 0;
      std::fprintf(stderr, "\r   [%s%s] %lld/%lld", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                   std::string(static_cast<std::size_t>(40 - filled), ' ').c_str(), progress_, max_);
      bar_ = true;
    } else {
      EndBar();
      std::fprintf(stderr, "   %s: %s\n", control.c_str(), text::AnsiToUtf8(value).c_str());
    }
    std::fflush(stderr);
  }

 private:
  void EndBar() {
    if (bar_) std::fprintf(stderr, "\n");
    bar_ = false;
  }
  bool eof_ = false, bar_ = false;
  long long max_ = 0, progress_ = 0;
};

class ScriptBackend : public Backend {
 public:
  explicit ScriptBackend(std::string file) : file_(std::move(file)) {
    std::ifstream in(file_);
    if (!in) {
      std::fprintf(stderr, "PINFORGE_UI: cannot read the script %s; every question takes its default\n", file_.c_str());
      return;
    }
    std::string line;
    int no = 0;
    while (std::getline(in, line)) {
      ++no;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty() && line[0] == '#') continue;
      lines_.push_back({no, text::Utf8ToAnsi(line)});
    }
  }
  const char* Name() const override { return "script"; }
  bool AnsweredByDefault() const override { return exhausted_; }
  int Ask(const Box& box, const std::string&, const std::string&) override {
    auto answer = Next();
    if (!answer) return box.defaultIndex;
    std::string a(text::Trim(answer->second));
    for (std::size_t i = 0; i < box.buttons.size(); ++i)
      if (text::EqualNoCase(a, box.buttons[i])) return static_cast<int>(i);
    std::fprintf(stderr, "PINFORGE_UI: %s line %d: '%s' is not a button of this box; taking %s\n", file_.c_str(),
                 answer->first, text::AnsiToUtf8(a).c_str(), box.buttons[box.defaultIndex].c_str());
    return box.defaultIndex;
  }
  std::optional<std::string> Input(const std::string&, const std::string&, const std::string&) override {
    auto answer = Next();
    if (!answer) return std::nullopt;
    return answer->second;
  }
  std::optional<std::string> File(const FileDialogRequest&) override {
    auto answer = Next();
    if (!answer) return std::nullopt;
    std::string a(text::Trim(answer->second));
    if (a.empty() || text::EqualNoCase(a, "Cancel")) return std::nullopt;
    return a;
  }

 private:
  std::optional<std::pair<int, std::string>> Next() {
    // Disk actions ("!insert NAME DRIVE", "!eject DRIVE") run before the answer that follows them,
    // so a prompt meets a real change of disk.
    while (next_ < lines_.size() && !lines_[next_].second.empty() && lines_[next_].second[0] == '!') Act(lines_[next_++]);
    exhausted_ = next_ >= lines_.size();
    if (exhausted_) return std::nullopt;
    return lines_[next_++];
  }
  void Act(const std::pair<int, std::string>& line) {
    std::vector<std::string> words;
    std::string word;
    for (char c : line.second.substr(1) + " ") {
      if (c != ' ' && c != '\t') {
        word += c;
      } else if (!word.empty()) {
        words.push_back(word);
        word.clear();
      }
    }
    std::string error;
    if (words.size() == 3 && words[0] == "insert") error = disks::Insert(words[1], words[2][0]);
    else if (words.size() == 2 && words[0] == "eject") error = disks::Eject(words[1][0]);
    else error = "not an action (!insert NAME DRIVE, !eject DRIVE)";
    if (!error.empty()) std::fprintf(stderr, "PINFORGE_UI: %s line %d: %s\n", file_.c_str(), line.first, error.c_str());
  }
  bool exhausted_ = false;
  std::string file_;
  std::vector<std::pair<int, std::string>> lines_;
  std::size_t next_ = 0;
};

std::recursive_mutex gMutex;
std::unique_ptr<Backend> gBackend;

// Nobody answers a box by default: the same box asked again and again (a disk prompt with the
// wrong disk in) would never end, so after this many default answers in a row it is cancelled.
constexpr int kRepeatLimit = 100;
std::string gLastDefaultBox;
int gDefaultRepeats = 0;

int GuardRepeats(const Box& box, const std::string& key, int index, bool byDefault) {
  if (!byDefault) {
    gDefaultRepeats = 0;
    return index;
  }
  gDefaultRepeats = key == gLastDefaultBox ? gDefaultRepeats + 1 : 1;
  gLastDefaultBox = key;
  if (gDefaultRepeats <= kRepeatLimit) return index;
  for (std::size_t i = 0; i < box.buttons.size(); ++i) {
    if (box.buttons[i] == "Cancel" || box.buttons[i] == "Abort" || box.buttons[i] == "Close") {
      std::fprintf(stderr, "PINFORGE_UI: the same box came %d times with no one to answer it; taking %s\n", kRepeatLimit,
                   box.buttons[i].c_str());
      return static_cast<int>(i);
    }
  }
  return index;
}

Backend& Current() {
  if (gBackend) return *gBackend;
  const char* env = std::getenv("PINFORGE_UI");
  std::string choice = env ? env : "";
  if (choice.rfind("script:", 0) == 0) {
    gBackend = std::make_unique<ScriptBackend>(choice.substr(7));
  } else if (choice == "console" || (choice.empty() && isatty(0))) {
    gBackend = std::make_unique<ConsoleBackend>();
  } else {
    if (!choice.empty() && choice != "default")
      std::fprintf(stderr, "PINFORGE_UI: unknown backend '%s'; questions take their defaults\n", choice.c_str());
    gBackend = std::make_unique<DefaultBackend>();
  }
  return *gBackend;
}

void Log(const std::string& json) {
  const char* file = std::getenv("PINFORGE_UI_LOG");
  if (!file || !*file) return;
  int fd = ::open(file, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return;
  std::string line = json + "\n";
  ssize_t ignored = ::write(fd, line.data(), line.size());  // one write: lines of processes never interleave
  (void)ignored;
  ::close(fd);
}

[[maybe_unused]] const bool gHooked = [] {
  RegisterReloadHook([] {
    std::lock_guard lock(gMutex);
    gBackend.reset();
  });
  return true;
}();

}  // namespace

namespace {
// The button pressed, by the backend, guarded against a default answer that never ends.
int AskLocked(const Box& box, const std::string& caption, const std::string& textAnsi, const std::string& kind) {
  Backend& backend = Current();
  int index = backend.Ask(box, caption, textAnsi);
  return GuardRepeats(box, caption + '\n' + textAnsi + '\n' + kind, index, backend.AnsweredByDefault());
}
}  // namespace

int MessageBox(HWND owner, const std::string& textAnsi, const std::string& caption, UINT type) {
  std::lock_guard lock(gMutex);
  Box box = Describe(type);
  int index = AskLocked(box, caption, textAnsi, std::to_string(type));
  const std::string& answer = box.buttons[static_cast<std::size_t>(index)];
  Log("{\"event\":\"messagebox\",\"caption\":" + J(caption) + ",\"text\":" + J(textAnsi) + ",\"buttons\":\"" + box.kind +
      "\",\"icon\":\"" + box.icon + "\",\"default\":\"" + box.buttons[box.defaultIndex] + "\",\"owner\":" +
      std::to_string(owner) + ",\"answer\":\"" + answer + "\"}");
  return IdOf(answer);
}

int Choose(const std::string& caption, const std::string& textAnsi, const std::vector<std::string>& buttons, int defaultIndex) {
  if (buttons.empty()) return -1;
  std::lock_guard lock(gMutex);
  Box box;
  box.buttons = buttons;
  box.defaultIndex = defaultIndex >= 0 && defaultIndex < static_cast<int>(buttons.size()) ? defaultIndex : 0;
  box.kind = "dialog";
  box.icon = "none";
  std::string names;
  for (const auto& b : buttons) names += (names.empty() ? "" : "/") + b;
  int index = AskLocked(box, caption, textAnsi, names);
  Log("{\"event\":\"dialog\",\"caption\":" + J(caption) + ",\"text\":" + J(textAnsi) + ",\"buttons\":" + J(names) +
      ",\"default\":" + J(buttons[static_cast<std::size_t>(box.defaultIndex)]) + ",\"answer\":" +
      J(buttons[static_cast<std::size_t>(index)]) + "}");
  return index;
}

std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt, const std::string& value) {
  std::lock_guard lock(gMutex);
  auto answer = Current().Input(caption, prompt, value);
  Log("{\"event\":\"inputbox\",\"caption\":" + J(caption) + ",\"prompt\":" + J(prompt) + ",\"value\":" + J(value) +
      ",\"answer\":" + (answer ? J(*answer) : "null") + "}");
  return answer;
}

std::optional<std::string> FileDialog(const FileDialogRequest& r) {
  std::lock_guard lock(gMutex);
  auto answer = Current().File(r);
  Log("{\"event\":\"filedialog\",\"title\":" + J(r.title) + ",\"filter\":" + J(r.filter) + ",\"save\":" +
      (r.save ? "true" : "false") + ",\"answer\":" + (answer ? J(*answer) : "null") + "}");
  return answer;
}

void FormEvent(const std::string& action, const std::string& caption) { FormEvent(action, caption, {}); }

void FormEvent(const std::string& action, const std::string& caption, const std::vector<std::string>& texts) {
  std::lock_guard lock(gMutex);
  Current().Form(action, caption, texts);
  Log("{\"event\":\"form\",\"action\":" + J(action) + ",\"caption\":" + J(caption) + "}");
}

namespace {
void LogControl(const std::string& form, const std::string& control, const std::string& property,
                const std::string& shown, const std::string& jsonValue) {
  std::lock_guard lock(gMutex);
  Current().Control(form, control, property, shown);
  Log("{\"event\":\"control\",\"form\":" + J(form) + ",\"name\":" + J(control) + ",\"property\":" + J(property) +
      ",\"value\":" + jsonValue + "}");
}
}  // namespace

void ControlEvent(const std::string& form, const std::string& control, const std::string& property, const std::string& value) {
  LogControl(form, control, property, value, J(value));
}

void ControlEvent(const std::string& form, const std::string& control, const std::string& property, long long value) {
  LogControl(form, control, property, std::to_string(value), std::to_string(value));
}

std::string BackendName() {
  std::lock_guard lock(gMutex);
  return Current().Name();
}

}  // namespace pinforge::ui

extern "C" int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  // A box without a caption is titled "Error", as the platform's own is.
  return pinforge::ui::MessageBox(owner, text ? text : "", caption ? caption : "Error", type);
}
