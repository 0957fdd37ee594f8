// The emulated machine as the host programs and tests see it: where it lives on the host and how
// its Windows paths map to host paths.
#pragma once

#include <optional>
#include <string>

#define PF_API __attribute__((visibility("default")))

namespace pinforge::machine {

// The host folder that holds the machine ($PINFORGE_ROOT, default ~/.pinforge); created with
// its defaults on first use.
PF_API std::string Root();

// Maps a Windows path (absolute, or relative to the current directory) to the host path it names,
// component by component and case-insensitively; nullopt when it names no drive of the machine.
PF_API std::optional<std::string> WindowsToHost(const std::string& windowsPath);

// The Windows path of a host path: on the drive whose folder holds it, else on Z:.
PF_API std::string HostToWindows(const std::string& hostPath);

// Forgets all state taken from the environment and the machine's files (root, drives, current
// directory, registry, UI backend), so the next call starts afresh; for test code that switches
// machines within one process.
PF_API void Reload();

}  // namespace pinforge::machine
