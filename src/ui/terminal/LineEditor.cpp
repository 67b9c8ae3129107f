#include "ui/terminal/LineEditor.h"

#include "ui/terminal/Terminal.h"

#include <algorithm>

namespace Term {

LineEditor::LineEditor(const std::vector<std::string>& history)
    : history_(history), history_index_(history.size()) {}

std::string LineEditor::text() const {
    std::string joined;
    for (const std::string& line : lines_) joined += line + "\n";
    return joined;
}

void LineEditor::split_line() {
    std::string rest = lines_[row_].substr(column_);
    lines_[row_].erase(column_);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(row_) + 1, rest);
    ++row_;
    column_ = 0;
}

void LineEditor::load(const std::string& text) {
    lines_.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines_.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (lines_.empty()) lines_.emplace_back();
    row_ = lines_.size() - 1;
    column_ = lines_[row_].size();
}

void LineEditor::history_back() {
    if (history_index_ == 0) return;
    if (history_index_ == history_.size()) unsent_ = text();
    load(history_[--history_index_]);
}

void LineEditor::history_forward() {
    if (history_index_ == history_.size()) return;
    ++history_index_;
    load(history_index_ == history_.size() ? unsent_ : history_[history_index_]);
}

LineEditor::Outcome LineEditor::apply(int key, const std::function<bool(std::string)>& iscomplete) {
    std::string& line = lines_[row_];
    switch (key) {
    case Key::ENTER:
        if (iscomplete(text())) return Outcome::Submitted;
        split_line();
        break;
    case Key::ALT_ENTER:
    case Key::CTRL_N: split_line(); break;
    case Key::BACKSPACE:
        if (column_ > 0) {
            line.erase(--column_, 1);
        } else if (row_ > 0) {
            column_ = lines_[row_ - 1].size();
            lines_[row_ - 1] += line;
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(row_--));
        }
        break;
    case Key::DEL:
        if (column_ < line.size()) {
            line.erase(column_, 1);
        } else if (row_ + 1 < lines_.size()) {
            line += lines_[row_ + 1];
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(row_) + 1);
        }
        break;
    case Key::ARROW_LEFT:
        if (column_ > 0) {
            --column_;
        } else if (row_ > 0) {
            column_ = lines_[--row_].size();
        }
        break;
    case Key::ARROW_RIGHT:
        if (column_ < line.size()) {
            ++column_;
        } else if (row_ + 1 < lines_.size()) {
            ++row_;
            column_ = 0;
        }
        break;
    case Key::HOME: column_ = 0; break;
    case Key::END: column_ = line.size(); break;
    case Key::ARROW_UP:
        if (row_ > 0) {
            column_ = std::min(column_, lines_[--row_].size());
        } else {
            history_back();
        }
        break;
    case Key::ARROW_DOWN:
        if (row_ + 1 < lines_.size()) {
            column_ = std::min(column_, lines_[++row_].size());
        } else {
            history_forward();
        }
        break;
    case Key::CTRL_D:
        if (lines_.size() == 1 && line.empty()) return Outcome::Cancelled;
        break;
    case Key::CTRL_C: return Outcome::Cancelled;
    default:
        if (key >= 0x20 && key < 0x7F) line.insert(column_++, 1, static_cast<char>(key));
        break;
    }
    return Outcome::Editing;
}

namespace {
std::string csi(size_t count, char command) {
    return count == 0 ? std::string() : "\x1b[" + std::to_string(count) + command;
}
}  // namespace

std::string redraw_input(std::string_view prompt, const std::vector<std::string>& lines, size_t row,
                         size_t column, size_t width, size_t& cursor_row) {
    // Every line keeps one screen row beyond its last full one, so that a cursor at the end of
    // a line that fills the width exactly has a row to stand on.
    auto rows_of = [width](size_t length) { return width == 0 ? size_t{1} : length / width + 1; };
    auto row_within = [width](size_t offset) { return width == 0 ? size_t{0} : offset / width; };

    std::string out = csi(cursor_row, 'A') + "\r\x1b[J";
    size_t target_row = 0;
    size_t end_row = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        size_t length = (i == 0 ? prompt.size() : 0) + lines[i].size();
        if (i == 0) out += prompt;
        out += lines[i];
        if (width != 0 && length > 0 && length % width == 0) out += "\n";
        if (i + 1 < lines.size()) {
            out += "\n";
            end_row += rows_of(length);
        } else {
            end_row += row_within(length);
        }
        if (i < row) target_row += rows_of(length);
    }
    size_t offset = (row == 0 ? prompt.size() : 0) + column;
    target_row += row_within(offset);
    out += csi(end_row - target_row, 'A') + "\r" + csi(width == 0 ? offset : offset % width, 'C');
    cursor_row = target_row;
    return out;
}

}  // namespace Term
