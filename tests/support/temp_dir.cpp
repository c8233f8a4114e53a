#include "temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/paths.h"

namespace telvora::test {

TempDir::TempDir() {
#ifdef _WIN32
    // A name no other folder has: the process, the moment and a counter. Inside a folder named
    // in Cyrillic with a blank in it, as a Russian user's profile folder is: every test that
    // touches files finds there any name that reaches the file system narrowed.
    static unsigned counter = 0;
    const auto base = std::filesystem::temp_directory_path() / platform::PathFromUtf8(kTestFolder);
    std::error_code made;
    std::filesystem::create_directories(base, made);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate =
            base / ("telvora-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(GetTickCount64()) + "-" + std::to_string(counter++));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be made");
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "telvora-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = buffer.data();
#endif
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may leave read-only files or folders behind; make them removable.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string Utf16Le(std::string_view ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

std::string ReadFileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace telvora::test
