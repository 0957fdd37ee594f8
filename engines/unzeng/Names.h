// Entry names as the engine writes them: decoded to code page 1252, checked so that nothing is
// written outside the current folder, and matched against the caller's file specifications.
#pragma once

#include <string>

#include "Archive.h"

namespace unzeng {

enum class CodePage { Auto = 0, None = 1, Oem = 2 };

// The entry's name in code page 1252 with "\" separators, as stored otherwise.
std::string DecodeName(const Entry& entry, CodePage codePage);

// A stored name made safe to write: "." parts dropped, "\" separators; empty for a name of "."
// parts only. Empty, with the reason in `refused`, for a name that is absolute, names a drive or
// server, climbs out with "..", or holds characters no Windows name may hold.
std::string SafeRelativeName(const std::string& name, std::string& refused);

// A file pattern as the user types it: "*" and "?" wildcards, case-insensitive, "\" and
// "/" alike.
bool MatchSpec(const std::string& spec, const std::string& name);

// A name folded for comparison without case (code page 1252 letters), "/" taken as "\".
std::string FoldedName(const std::string& name);

}  // namespace unzeng
