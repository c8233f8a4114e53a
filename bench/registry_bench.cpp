// Reading the registry file at start-up when it holds a large continued value, as a pasted
// export of a binary value does: a value line ending in "\" goes on in the next line, and
// regedit wraps every value at 80 characters. Prints, per file size, the time to open the
// logger's key (which reads the whole file) and the time per megabyte, whose ratio between the
// largest and the smallest file shows how the reading grows: about 1 when it is linear.
//
//   telvora-registry-bench [--sizes 100000,1000000,10000000] [--folder DIR]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "registry_export.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::size_t> Sizes(const char* list) {
    std::vector<std::size_t> sizes;
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) {
        sizes.push_back(std::stoul(item));
    }
    return sizes;
}

// A registry file of about `fileBytes` bytes: the logger's key with its InstallPath after one
// binary value that runs over the whole file.
std::string RegistryFile(std::size_t fileBytes) {
    std::vector<std::uint8_t> value(fileBytes / 3);
    for (std::size_t i = 0; i < value.size(); ++i) {
        value[i] = static_cast<std::uint8_t>(i * 31);
    }
    return "Windows Registry Editor Version 5.00\r\n\r\n"
           "[HKEY_CURRENT_USER\\Software\\Quorvex]\r\n" +
           telvora::test::ExportedHexValue("\"Pasted\"", "hex", value) +
           "\r\n\"InstallPath\"=\"C:\\\\Logger\\\\\"\r\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes = {100'000, 1'000'000, 10'000'000};
    fs::path folder =
        fs::temp_directory_path() / ("telvora-registry-bench-" + std::to_string(::getpid()));
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--sizes") {
            sizes = Sizes(argv[i + 1]);
        } else if (option == "--folder") {
            folder = argv[i + 1];
        } else {
            std::fprintf(stderr, "usage: %s [--sizes N,N,...] [--folder DIR]\n", argv[0]);
            return 2;
        }
    }
    fs::create_directories(folder);
    const fs::path file = folder / "HKEY_CURRENT_USER.reg";

    std::printf("%12s %12s %12s\n", "file bytes", "seconds", "s per MB");
    double firstPerMb = 0;
    double lastPerMb = 0;
    for (const std::size_t size : sizes) {
        const std::string text = RegistryFile(size);
        std::ofstream(file, std::ios::binary) << text;
        const auto start = std::chrono::steady_clock::now();
        const auto key =
            telvora::platform::CurrentUserRegistry(file).CreateKey("Software\\Quorvex");
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (!key || !key->QueryValue("InstallPath") || !key->QueryValue("Pasted")) {
            std::fprintf(stderr, "the key or its values were not read\n");
            return 1;
        }
        const double perMb = took.count() / (static_cast<double>(text.size()) / 1e6);
        firstPerMb = firstPerMb == 0 ? perMb : firstPerMb;
        lastPerMb = perMb;
        std::printf("%12zu %12.3f %12.4f\n", text.size(), took.count(), perMb);
    }
    fs::remove_all(folder);
    if (sizes.size() > 1) {
        std::printf("time per MB, largest file over smallest: %.2f (1: linear)\n",
                    lastPerMb / firstPerMb);
    }
    return 0;
}
