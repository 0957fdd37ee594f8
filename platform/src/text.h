// Code page 1252 text: conversion to and from the host's UTF-8, case folding as Windows does it.
#pragma once

#include <string>
#include <string_view>

namespace pinforge::text {

std::string AnsiToUtf8(std::string_view ansi);
// Characters without a code page 1252 form become '?'; so do bytes that are not valid UTF-8.
std::string Utf8ToAnsi(std::string_view utf8);
// UTF-16 text (string resources) in code page 1252; characters without a 1252 form become '?'.
std::string Utf16ToAnsi(std::u16string_view utf16);
// Code page 437 (OEM) to code page 1252, with the platform's best-fit characters for what 1252
// lacks (box drawing to '+', '-' or broken bar, shades to broken bar, some Greek letters to Latin).
char OemToAnsi(char oem);
char UpperAnsi(char c);
char LowerAnsi(char c);
std::string UpperAnsi(std::string_view s);
bool EqualNoCase(std::string_view a, std::string_view b);
int CompareNoCase(std::string_view a, std::string_view b);
std::string_view Trim(std::string_view s);  // spaces and tabs
std::string JsonQuote(std::string_view utf8);

}  // namespace pinforge::text
