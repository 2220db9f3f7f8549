#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "family/family.h"

// Small family files written for a test, each in its own temporary folder.
namespace rw::family::test {

inline std::filesystem::path writeFile(const std::string& name, std::string_view bytes) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string folder = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : folder)
        if (c == '/')
            c = '_';
    const auto dir = std::filesystem::temp_directory_path() / "rootweave-family-tests" / folder;
    std::filesystem::create_directories(dir);
    const auto path = dir / name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

// A 5.5.1 header with the given CHAR (none when empty), then `body`, then the trailer; lines joined by `eol`.
inline std::string gedcom(std::string_view body, std::string_view charset = "UTF-8",
                          std::string_view eol = "\n") {
    std::string text = "0 HEAD\n1 GEDC\n2 VERS 5.5.1\n";
    if (!charset.empty())
        text += "1 CHAR " + std::string(charset) + "\n";
    text += std::string(body) + "0 TRLR\n";
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += eol;
        else
            out.push_back(c);
    }
    return out;
}

inline const Person& person(const FamilyFile& file, std::string_view id) {
    const auto p = file.find(id);
    if (!p)
        throw std::runtime_error("no person " + std::string(id));
    return file.people[static_cast<std::size_t>(*p)];
}

}  // namespace rw::family::test
