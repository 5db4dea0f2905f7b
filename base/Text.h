// Text helpers over 8-bit std::string: trimming, ASCII case mapping,
// case-insensitive comparison and integer conversion with the program's
// exact error text. Letter case is ASCII only; other bytes pass unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Removes characters <= ' ' (controls and blanks) at both ends / one end.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);

// ASCII case-insensitive equality and ordering.
bool SameText(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);

// Decimal (optionally signed; "$" or "0x" prefix for hex) 32-bit integer.
// Leading and trailing blanks are not allowed.
// Raises EConvertError "'<text>' is not a valid integer value".
int32_t StrToInt(std::string_view s);
// As StrToInt, but returns def instead of raising.
int32_t StrToIntDef(std::string_view s, int32_t def);
// True and the value in out when s is a valid integer.
bool TryStrToInt(std::string_view s, int32_t& out);

std::string IntToStr(int64_t value);

// printf-style formatting into a std::string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
