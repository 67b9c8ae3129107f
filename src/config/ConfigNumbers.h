#pragma once
#include <cstdint>
#include <string>

// Conversions between the decimal texts of the configuration file and the settings in memory.
// Pure functions, so every rounding and wrapping rule can be checked with exact values.

// The number at the start of `text` as the C library's atoi reads it: leading white space
// skipped, an optional sign, the decimal digits that follow; anything after them is ignored,
// and text that does not start with a number gives 0. Values beyond the 32-bit range keep the
// low 32 bits of the (saturated) long, as atoi does on LP64 systems.
int ConfigTextToInt(const std::string& text);

// "%d" of `value`: a leading "-" for negative numbers, no sign, padding or leading zeros otherwise.
std::string FormatConfigInt(int value);

// A fractional setting stored scaled to an integer: `value` times `scale` in single precision,
// truncated toward zero. Products beyond the int range saturate and NaN gives 0.
int ScaledToStored(float value, float scale);

// The stored integer converted to float and divided by `scale` in single precision.
float StoredToScaled(int stored, float scale);

// The low 8 bits of `value` as a signed 8-bit number (264 -> 8, 200 -> -56).
int8_t LowByteSigned(int value);

// A text such as a device name as one value of the file: "%", "=", line feed and carriage
// return become %25, %3D, %0A and %0D, so the value neither splits nor breaks its line.
std::string EncodeConfigText(const std::string& text);
// The text back; a "%" not followed by two hexadecimal digits stays as it is.
std::string DecodeConfigText(const std::string& value);
