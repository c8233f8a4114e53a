// A scratch file for the targets that must go through real files: in a folder of its own on a
// memory file system where there is one (flushing to a disk would slow every run down), removed
// when the process ends.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "fuzz_check.h"

namespace telvora::fuzz {

inline std::filesystem::path ScratchFile(const char* name) {
    static const std::filesystem::path folder = [] {
        std::error_code ec;
        const bool shm = std::filesystem::is_directory("/dev/shm", ec);
        std::string pattern =
            (shm ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path()) /
            "telvora-fuzz-XXXXXX";
        FUZZ_CHECK(::mkdtemp(pattern.data()) != nullptr);
        static const std::filesystem::path made = pattern;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(made, ignored);
        });
        return made;
    }();
    return folder / name;
}

}  // namespace telvora::fuzz
