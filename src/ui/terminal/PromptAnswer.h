#pragma once
// How the yes/no question reads an answer.
#include <string>

#include "ui/terminal/Terminal.h"

namespace Term {

// One key answers: y/Y Yes, n/N No, Enter None, Ctrl+C/Ctrl+D Abort, anything else Invalid.
Result answer_for_key(int key);
// A typed line answers by its first character; an empty line is None.
Result answer_for_line(const std::string& line);

}  // namespace Term
