#pragma once
// A fresh temporary folder, removed with everything in it when the object goes.
#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // The path of `name` inside the folder.
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    bool Exists(const std::string& name) const;
    std::string Read(const std::string& name) const;  // "" when there is no such file
    void Write(const std::string& name, const std::string& text) const;

private:
    std::string path_;
};

// The whole text of a file; "" when it cannot be read.
std::string ReadText(const std::string& path);
