// Emulated disks for the removable drives of the machine: made, labelled, formatted, inserted and
// ejected by the disk tool and by test code. A disk lives in $PINFORGE_ROOT/disks/NAME: its
// description disk.ini and its files in files/; a removable drive holds the disk whose files its
// folder links to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#define PF_API __attribute__((visibility("default")))

namespace pinforge::disks {

struct Disk {
  std::string name;
  std::string label;        // at most 11 characters
  std::uint32_t serial = 0;
  std::uint64_t capacity = 1457664;  // a 1.44 MB diskette
  bool formatted = true;
};

// Each call returns an error text, empty on success.
PF_API std::string Create(const Disk& disk);
PF_API std::string Insert(const std::string& name, char drive);
PF_API std::string Eject(char drive);
// Empties the disk and gives it the label; it is formatted afterwards.
PF_API std::string Format(const std::string& name, const std::string& label);
PF_API std::string SetLabel(const std::string& name, const std::string& label);

PF_API std::vector<Disk> List();
PF_API std::optional<Disk> Find(const std::string& name);
// The disk in a drive, if any.
PF_API std::optional<Disk> InDrive(char drive);
// The formatted disk in a removable drive; without one nullopt, with the last error set to
// ERROR_NOT_READY (no disk) or ERROR_GEN_FAILURE (an unformatted disk).
PF_API std::optional<Disk> ReadyDisk(char drive);
// Bytes the disk's files take.
PF_API std::uint64_t Used(const std::string& name);

}  // namespace pinforge::disks
