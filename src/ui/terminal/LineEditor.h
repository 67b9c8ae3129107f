#pragma once
// The editing model of the multi-line prompt and the bytes that redraw it.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace Term {

class LineEditor {
public:
    enum class Outcome { Editing, Submitted, Cancelled };

    // Up and Down browse `history` (oldest first); the history itself is never changed here.
    explicit LineEditor(const std::vector<std::string>& history);

    // Applies one key code. Enter submits when `iscomplete` accepts the text, otherwise it opens
    // a new line. Ctrl+D on an empty input and Ctrl+C (when it arrives as a key) cancel.
    Outcome apply(int key, const std::function<bool(std::string)>& iscomplete);

    std::string text() const;  // every line followed by "\n"
    const std::vector<std::string>& lines() const { return lines_; }
    size_t row() const { return row_; }
    size_t column() const { return column_; }

private:
    void split_line();
    void load(const std::string& text);
    void history_back();
    void history_forward();

    const std::vector<std::string>& history_;
    size_t history_index_;
    std::string unsent_;  // the new input, kept while an older entry is shown
    std::vector<std::string> lines_{""};
    size_t row_ = 0;
    size_t column_ = 0;
};

// Bytes that redraw `prompt` (one line of plain text) followed by `lines`, one below the other,
// and put the cursor on line `row` at `column`. `width` is the terminal width, 0 when unknown
// (no wrapping assumed). `cursor_row` is the screen row the cursor is on now, counted from the
// prompt's first row; it is updated to the row the cursor is left on.
std::string redraw_input(std::string_view prompt, const std::vector<std::string>& lines, size_t row,
                         size_t column, size_t width, size_t& cursor_row);

}  // namespace Term
