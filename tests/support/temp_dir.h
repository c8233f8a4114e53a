// A fresh folder per test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace telvora::test {

#ifdef _WIN32
// The folder, under the system's temporary folder, that holds every TempDir on Windows.
inline constexpr const char* kTestFolder = "Тест папка";
#endif

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// UTF-16LE bytes of an ASCII text (what a UTF-16 file holds after its mark).
std::string Utf16Le(std::string_view ascii);

// Whole-file helpers for fixtures.
std::string ReadFileBytes(const std::filesystem::path& file);
void WriteFileBytes(const std::filesystem::path& file, const std::string& bytes);

}  // namespace telvora::test
