#pragma once
#include <string>

// Replaces the whole contents of the file at `path` so that a crash or a full disk never leaves
// it half written: the text goes to a temporary file beside the target, is flushed to the disk,
// and is renamed over the target. A symbolic link keeps pointing at its target, which is what
// gets replaced; the permission bits of a replaced file are kept.
//
// A target that exists but cannot be opened for writing is left untouched. Where the folder does
// not allow a temporary file (no permission, no inodes left), the file is overwritten in place,
// but only once the disk has room for the whole text: it is never left cut short. A target that
// is not a regular file (a device, a pipe) is written as it is. Returns true when the whole text
// reached the file; otherwise `reason`, when given, says why (the system's words).
bool ReplaceFileContents(const std::string& path, const std::string& contents,
                         std::string* reason = nullptr);
