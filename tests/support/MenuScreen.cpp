#include "support/MenuScreen.h"
#include "support/ScreenText.h"


namespace {

const std::string kFrameStart = "\x1b[2J";
const std::string kFrameEnd = "\x1b[?25l";

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

bool MenuProgram::Press(const std::string& keys) {
    const int before = Frames();
    type(keys);
    return wait_until([&](const std::string&) { return Frames() > before; });
}

int MenuProgram::Frames() const {
    int count = 0;
    for (size_t at = output().find(kFrameStart); at != std::string::npos;
         at = output().find(kFrameStart, at + 1)) {
        if (output().find(kFrameEnd, at) != std::string::npos) ++count;
    }
    return count;
}

std::string MenuProgram::LastFrame() const {
    const size_t start = output().rfind(kFrameStart);
    if (start == std::string::npos) return "";
    return output().substr(start, output().find(kFrameEnd, start) - start);
}

std::string FrameTitle(const std::string& frame) {
    const size_t border = frame.find("+-");
    if (border == std::string::npos) return "";
    const size_t feed = frame.find('\n', border);
    if (feed == std::string::npos) return "";
    const size_t line = feed + 1;
    // The terminal turns each line feed into a carriage return and a line feed. A frame still
    // arriving may end before its title row does.
    const size_t end = frame.find("|\r\n", line);
    if (end == std::string::npos || end == line) return "";
    return Trim(frame.substr(line + 1, end - line - 1));
}

std::string FrameHighlight(const std::string& frame) {
    const size_t start = frame.find("\x1b[107m");
    if (start == std::string::npos) return "";
    return Trim(StripEscapes(frame.substr(start, frame.find("\x1b[49m", start) - start)));
}

std::string FrameRow(const std::string& frame, const std::string& label) {
    const std::string plain = StripEscapes(frame);
    const size_t at = plain.find("| " + label);
    if (at == std::string::npos) return "";
    const size_t end = plain.rfind('|', plain.find('\r', at));
    return Trim(plain.substr(at + 1, end - at - 1));
}
