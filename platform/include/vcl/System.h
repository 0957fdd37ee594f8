// The class library's base: the 8-bit string type and the root class.
#pragma once

#include <string>

#define PF_API __attribute__((visibility("default")))

// Code page 1252 text; character positions counted from 1 where the class library counts them.
using AnsiString = std::string;
// Days since 1899-12-30, the fraction the time of day.
using TDateTime = double;

class PF_API TObject {
 public:
  virtual ~TObject();
};
