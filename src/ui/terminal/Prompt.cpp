// The yes/no question and the multi-line prompt.
#include "ui/terminal/LineEditor.h"
#include "ui/terminal/Terminal.h"

#include <cstdio>
#include <unistd.h>

namespace Term {

namespace {

bool printable(int key) { return key >= 0x20 && key < 0x7F; }

// One key answers: y/Y Yes, n/N No, Enter None, Ctrl+C/Ctrl+D Abort, anything else Invalid.
Result answer_for_key(int key) {
    switch (key) {
    case 'y':
    case 'Y': return Result::Yes;
    case 'n':
    case 'N': return Result::No;
    case Key::ENTER: return Result::None;
    case Key::CTRL_C:
    case Key::CTRL_D: return Result::Abort;
    default: return Result::Invalid;
    }
}

// A typed line answers by its first character; an empty line is None.
Result answer_for_line(const std::string& line) {
    return line.empty() ? Result::None : answer_for_key(static_cast<unsigned char>(line[0]));
}

// Reads a line with echo and Backspace; Ctrl+C or Ctrl+D give up.
Result read_answer_line() {
    std::string line;
    for (;;) {
        int key = read_key();
        if (key == Key::ENTER) break;
        if (key == Key::CTRL_C || key == Key::CTRL_D) {
            write("\n");
            return Result::Abort;
        }
        if (key == Key::BACKSPACE && !line.empty()) {
            line.pop_back();
            write("\b \b");
        } else if (printable(key)) {
            line += static_cast<char>(key);
            write(std::string(1, static_cast<char>(key)));
        }
    }
    write("\n");
    return answer_for_line(line);
}

}  // namespace

Result prompt(const std::string& message, const std::string& first_option,
              const std::string& second_option, const std::string& prompt_indicator,
              bool immediate) {
    write(message + " [" + first_option + "/" + second_option + "]" + prompt_indicator + " ");
    if (!isatty(STDIN_FILENO)) return Result::Error;
    // Ctrl+C must arrive as a key here, to answer the question with Abort.
    Terminal raw(false, true, true, false);
    if (!immediate) return read_answer_line();
    int key = read_key();
    // The Enter of "n" and Enter must not fall into the next screen.
    if (key != Key::ENTER) discard_answer_keys();
    write((printable(key) ? std::string(1, static_cast<char>(key)) : std::string()) + "\n");
    return answer_for_key(key);
}

std::string prompt_multiline(const Terminal& /*raw mode held by the caller*/,
                             const std::string& prompt_string, std::vector<std::string>& history,
                             std::function<bool(std::string)>& iscomplete) {
    // Only the prompt's last line is redrawn with the input; what comes before it is shown once.
    size_t last_break = prompt_string.rfind('\n');
    size_t tail_start = last_break == std::string::npos ? 0 : last_break + 1;
    std::string tail = prompt_string.substr(tail_start);
    int rows = 0;
    int cols = 0;
    get_term_size(rows, cols);
    size_t width = cols > 0 ? static_cast<size_t>(cols) : 0;

    LineEditor editor(history);
    size_t cursor_row = 0;
    write(prompt_string.substr(0, tail_start) +
         redraw_input(tail, editor.lines(), 0, 0, width, cursor_row));
    for (;;) {
        LineEditor::Outcome outcome = editor.apply(read_key(), iscomplete);
        if (outcome == LineEditor::Outcome::Editing) {
            write(redraw_input(tail, editor.lines(), editor.row(), editor.column(), width, cursor_row));
            continue;
        }
        const std::vector<std::string>& lines = editor.lines();
        write(redraw_input(tail, lines, lines.size() - 1, lines.back().size(), width, cursor_row) + "\n");
        if (outcome == LineEditor::Outcome::Cancelled) return "\n";
        std::string result = editor.text();
        if (result != "\n") history.push_back(result);
        return result;
    }
}

}  // namespace Term
