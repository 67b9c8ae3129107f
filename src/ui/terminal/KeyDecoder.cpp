#include "ui/terminal/KeyDecoder.h"

#include "ui/terminal/Terminal.h"

namespace Term {

namespace {

constexpr char kEsc = '\x1b';
// A control sequence longer than this is garbage, not a key.
constexpr size_t kMaxSequence = 32;

DecodedKey need_more() { return {false, Key::UNKNOWN, 0}; }
DecodedKey key(int code, size_t length) { return {true, code, length}; }

int cursor_key(char final_byte) {
    switch (final_byte) {
    case 'A': return Key::ARROW_UP;
    case 'B': return Key::ARROW_DOWN;
    case 'C': return Key::ARROW_RIGHT;
    case 'D': return Key::ARROW_LEFT;
    case 'H': return Key::HOME;
    case 'F': return Key::END;
    default: return Key::UNKNOWN;
    }
}

// ESC [ <number> ~ ; both the VT220 (1 and 4) and the rxvt (7 and 8) numbers of Home and End.
int tilde_key(std::string_view params) {
    if (params.size() != 1) return Key::UNKNOWN;
    static constexpr int kByNumber[] = {Key::HOME,    Key::INSERT,    Key::DEL,  Key::END,
                                        Key::PAGE_UP, Key::PAGE_DOWN, Key::HOME, Key::END};
    int number = params[0] - '0';
    return number >= 1 && number <= 8 ? kByNumber[number - 1] : Key::UNKNOWN;
}

// ESC [ parameters and intermediates (0x20..0x3F) then one final byte (0x40..0x7E).
DecodedKey decode_csi(std::string_view bytes, bool more_may_follow) {
    for (size_t i = 2; i < bytes.size(); ++i) {
        auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x40 && c <= 0x7E) {
            std::string_view params = bytes.substr(2, i - 2);
            int code = c == '~' ? tilde_key(params) : params.empty() ? cursor_key(c) : Key::UNKNOWN;
            return key(code, i + 1);
        }
        // A byte that cannot belong to the sequence ends it and stays for the next key.
        if (c < 0x20) return key(Key::UNKNOWN, i);
        if (c > 0x7E || i + 1 >= kMaxSequence) return key(Key::UNKNOWN, i + 1);
    }
    return more_may_follow ? need_more() : key(Key::UNKNOWN, bytes.size());
}

DecodedKey decode_escape(std::string_view bytes, bool more_may_follow) {
    if (bytes.size() == 1) return more_may_follow ? need_more() : key(Key::ESC, 1);
    switch (bytes[1]) {
    case '[': return decode_csi(bytes, more_may_follow);
    case 'O':
        if (bytes.size() == 2) return more_may_follow ? need_more() : key(Key::UNKNOWN, 2);
        return key(cursor_key(bytes[2]), 3);
    case '\r':
    case '\n': return key(Key::ALT_ENTER, 2);
    case kEsc: return key(Key::ESC, 1);  // the second escape starts the next key
    default: return key(Key::UNKNOWN, 2);  // Alt with some other key
    }
}

// Non-ASCII characters are not keys of this program, but all their bytes belong to one press.
DecodedKey decode_utf8(std::string_view bytes, bool more_may_follow) {
    auto lead = static_cast<unsigned char>(bytes[0]);
    size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xF0 && lead <= 0xF4 ? 4 : 1;
    for (size_t i = 1; i < length; ++i) {
        if (i >= bytes.size()) return more_may_follow ? need_more() : key(Key::UNKNOWN, i);
        if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80) return key(Key::UNKNOWN, i);
    }
    return key(Key::UNKNOWN, length);
}

}  // namespace

DecodedKey decode_key(std::string_view bytes, bool more_may_follow) {
    if (bytes.empty()) return need_more();
    auto c = static_cast<unsigned char>(bytes[0]);
    switch (c) {
    case kEsc: return decode_escape(bytes, more_may_follow);
    case '\r':
    case '\n': return key(Key::ENTER, 1);
    case 127:
    case 8: return key(Key::BACKSPACE, 1);
    case '\t': return key(Key::TAB, 1);
    default: break;
    }
    if (c >= 0x80) return decode_utf8(bytes, more_may_follow);
    return key(c, 1);  // printable characters and the remaining control keys (Ctrl+C is 3)
}

}  // namespace Term
