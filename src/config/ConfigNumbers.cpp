#include "config/ConfigNumbers.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

int ConfigTextToInt(const std::string& text) {
    const long parsed = std::strtol(text.c_str(), nullptr, 10);
    return static_cast<int>(static_cast<uint32_t>(static_cast<unsigned long>(parsed)));
}

std::string FormatConfigInt(int value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%d", value);
    return std::string(buffer);
}

int ScaledToStored(float value, float scale) {
    const float product = value * scale;
    if (std::isnan(product)) return 0;
    // 2^31 is exact in float; every float below it converts to int without overflow.
    if (product >= 2147483648.0f) return std::numeric_limits<int>::max();
    if (product < -2147483648.0f) return std::numeric_limits<int>::min();
    return static_cast<int>(product);
}

float StoredToScaled(int stored, float scale) {
    return static_cast<float>(stored) / scale;
}

int8_t LowByteSigned(int value) {
    const int low = static_cast<int>(static_cast<unsigned>(value) & 0xFFu);
    return static_cast<int8_t>(low >= 128 ? low - 256 : low);
}

std::string EncodeConfigText(const std::string& text) {
    std::string value;
    for (const char c : text) {
        switch (c) {
            case '%': value += "%25"; break;
            case '=': value += "%3D"; break;
            case '\n': value += "%0A"; break;
            case '\r': value += "%0D"; break;
            default: value += c;
        }
    }
    return value;
}

std::string DecodeConfigText(const std::string& value) {
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::string text;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size() && hex(value[i + 1]) >= 0 &&
            hex(value[i + 2]) >= 0) {
            text += static_cast<char>(hex(value[i + 1]) * 16 + hex(value[i + 2]));
            i += 2;
        } else {
            text += value[i];
        }
    }
    return text;
}
