// The class library's base: the 8-bit string type and the root class.
#pragma once

#include <cstdint>
#include <initializer_list>
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

// A set over an enumeration, bit n for the value with ordinal n, stored in Bits.
template <class E, class Bits = std::uint32_t>
class Set {
 public:
  Set() = default;
  Set(std::initializer_list<E> values) {
    for (E v : values) *this << v;
  }
  Set& operator<<(E v) {
    bits_ = static_cast<Bits>(bits_ | Bit(v));
    return *this;
  }
  Set& operator>>(E v) {
    bits_ = static_cast<Bits>(bits_ & ~Bit(v));
    return *this;
  }
  bool Contains(E v) const { return (bits_ & Bit(v)) != 0; }
  bool Empty() const { return bits_ == 0; }
  Bits ToInt() const { return bits_; }
  static Set FromInt(Bits bits) {
    Set s;
    s.bits_ = bits;
    return s;
  }
  bool operator==(const Set&) const = default;

 private:
  static Bits Bit(E v) { return static_cast<Bits>(Bits(1) << static_cast<int>(v)); }
  Bits bits_ = 0;
};
