#pragma once
#include <cctype>
#include <string>

// The text of a screen without its escape sequences (ESC [ parameters letter).
inline std::string StripEscapes(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\x1b' && i + 1 < text.size() && text[i + 1] == '[') {
            i += 2;
            while (i < text.size() && !std::isalpha(static_cast<unsigned char>(text[i]))) ++i;
            continue;
        }
        plain += text[i];
    }
    return plain;
}
