#include "ui/InputCompleteness.h"

bool determine_completeness(std::string text) {
    if (text.size() < 2) return true;
    return text[text.size() - 2] != '\\';
}
