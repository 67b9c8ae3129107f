#pragma once
// Turns the bytes a terminal sends for one key press into a key code.
#include <cstddef>
#include <string_view>

namespace Term {

struct DecodedKey {
    bool complete;  // false: the bytes so far start a longer sequence, wait for more
    int code;       // key code of Term::Key or the printable character
    size_t length;  // bytes of the input this key used
};

// Decodes the key at the start of `bytes` (never empty). With more_may_follow false no further
// byte is coming soon, so an unfinished sequence is decided on what is there: a lone escape byte
// is the Esc key, any other unfinished sequence an unknown key.
DecodedKey decode_key(std::string_view bytes, bool more_may_follow);

}  // namespace Term
