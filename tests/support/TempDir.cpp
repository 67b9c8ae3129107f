#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

TempDir::TempDir() {
    char pattern[] = "/tmp/moravel-test.XXXXXX";
    if (mkdtemp(pattern) != nullptr) path_ = pattern;
    EXPECT_FALSE(path_.empty()) << "mkdtemp failed";
}

TempDir::~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

bool TempDir::Exists(const std::string& name) const {
    return std::filesystem::exists(*this / name);
}

std::string TempDir::Read(const std::string& name) const { return ReadText(*this / name); }

void TempDir::Write(const std::string& name, const std::string& text) const {
    std::ofstream(*this / name) << text;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
