#include <gtest/gtest.h>

#include "ui/terminal/KeyDecoder.h"
#include "ui/terminal/Terminal.h"

#include <string>

namespace {

struct Case {
    std::string bytes;
    int code;
    size_t length;
};

void ExpectDecodes(const Case& c, bool more_may_follow) {
    Term::DecodedKey key = Term::decode_key(c.bytes, more_may_follow);
    EXPECT_TRUE(key.complete) << testing::PrintToString(c.bytes);
    EXPECT_EQ(key.code, c.code) << testing::PrintToString(c.bytes);
    EXPECT_EQ(key.length, c.length) << testing::PrintToString(c.bytes);
}

}  // namespace

TEST(DecodeKey, SingleBytes) {
    const Case cases[] = {
        {"a", 'a', 1},          {"Z", 'Z', 1},           {" ", ' ', 1},
        {"~", '~', 1},          {"q", 'q', 1},           {"\r", Term::Key::ENTER, 1},
        {"\n", Term::Key::ENTER, 1},                     {"\x7f", Term::Key::BACKSPACE, 1},
        {"\b", Term::Key::BACKSPACE, 1},                 {"\t", Term::Key::TAB, 1},
        {"\x03", Term::Key::CTRL_C, 1},                  {"\x04", Term::Key::CTRL_D, 1},
        {"\x0e", Term::Key::CTRL_N, 1},                  {"+-", '+', 1},
    };
    for (const Case& c : cases) ExpectDecodes(c, true);
}

TEST(DecodeKey, CursorAndEditingSequences) {
    using namespace Term::Key;
    const Case cases[] = {
        {"\x1b[A", ARROW_UP, 3},     {"\x1b[B", ARROW_DOWN, 3},   {"\x1b[C", ARROW_RIGHT, 3},
        {"\x1b[D", ARROW_LEFT, 3},   {"\x1bOA", ARROW_UP, 3},     {"\x1bOB", ARROW_DOWN, 3},
        {"\x1bOC", ARROW_RIGHT, 3},  {"\x1bOD", ARROW_LEFT, 3},   {"\x1b[H", HOME, 3},
        {"\x1b[F", END, 3},          {"\x1bOH", HOME, 3},         {"\x1bOF", END, 3},
        {"\x1b[1~", HOME, 4},        {"\x1b[7~", HOME, 4},        {"\x1b[4~", END, 4},
        {"\x1b[8~", END, 4},         {"\x1b[2~", INSERT, 4},      {"\x1b[3~", DEL, 4},
        {"\x1b[5~", PAGE_UP, 4},     {"\x1b[6~", PAGE_DOWN, 4},   {"\x1b\r", ALT_ENTER, 2},
        {"\x1b[Ax", ARROW_UP, 3},    {"\x1b[3~1", DEL, 4},
    };
    for (const Case& c : cases) ExpectDecodes(c, true);
}

TEST(DecodeKey, UnknownSequencesAreConsumedWhole) {
    using Term::Key::UNKNOWN;
    const Case cases[] = {
        {"\x1b[15~", UNKNOWN, 5},     // F5
        {"\x1b[1;5A", UNKNOWN, 6},    // Ctrl+Up
        {"\x1b[9~", UNKNOWN, 4},      {"\x1b[200~", UNKNOWN, 6},  // bracketed paste start
        {"\x1bOP", UNKNOWN, 3},       // F1
        {"\x1bx", UNKNOWN, 2},        // Alt+x
        {"\xc3\xa9", UNKNOWN, 2},     {"\xe2\x82\xac", UNKNOWN, 3},
        {"\xf0\x9f\x98\x80", UNKNOWN, 4},  {"\x80", UNKNOWN, 1},
        {"\xc3" "a", UNKNOWN, 1},     // broken UTF-8 keeps the next character
        {"\x1b[1\r", UNKNOWN, 3},     // a control byte ends the sequence and stays
    };
    for (const Case& c : cases) ExpectDecodes(c, true);
    for (const Case& c : cases) {
        Term::DecodedKey key = Term::decode_key(c.bytes, true);
        EXPECT_FALSE(key.code >= 0x20 && key.code < 0x7f) << testing::PrintToString(c.bytes);
    }
}

TEST(DecodeKey, OverlongSequenceEnds) {
    std::string garbage = "\x1b[" + std::string(100, '1');
    Term::DecodedKey key = Term::decode_key(garbage, true);
    EXPECT_TRUE(key.complete);
    EXPECT_EQ(key.code, Term::Key::UNKNOWN);
    EXPECT_EQ(key.length, 32u);
}

TEST(DecodeKey, UnfinishedSequencesWaitThenDecide) {
    const std::string prefixes[] = {"\x1b", "\x1b[", "\x1b[1", "\x1bO", "\xe2\x82"};
    for (const std::string& p : prefixes) {
        EXPECT_FALSE(Term::decode_key(p, true).complete) << testing::PrintToString(p);
    }
    ExpectDecodes({"\x1b", Term::Key::ESC, 1}, false);
    ExpectDecodes({"\x1b[", Term::Key::UNKNOWN, 2}, false);
    ExpectDecodes({"\x1b[1", Term::Key::UNKNOWN, 3}, false);
    ExpectDecodes({"\x1bO", Term::Key::UNKNOWN, 2}, false);
    ExpectDecodes({"\xe2\x82", Term::Key::UNKNOWN, 2}, false);
    // Two Esc presses in a row are two keys.
    ExpectDecodes({"\x1b\x1b", Term::Key::ESC, 1}, true);
}
