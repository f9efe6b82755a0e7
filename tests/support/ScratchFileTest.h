// A test with a scratch folder of its own and one named file in it, read and written whole.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class ScratchFileTest : public ::testing::Test {
protected:
    explicit ScratchFileTest(std::string fileName) : fileName_(std::move(fileName)) {}

    std::filesystem::path dir;
    std::filesystem::path file;

    void SetUp() override
    {
        char tmpl[] = "/tmp/durnex-test-XXXXXX";
        dir = mkdtemp(tmpl);
        file = dir / fileName_;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    void Put(const std::string& text)
    {
        std::ofstream out(file, std::ios::binary);
        out << text;
    }
    std::string Text() const
    {
        std::ifstream in(file, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

private:
    std::string fileName_;
};
