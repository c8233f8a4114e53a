// trust_root.exe CA.pem: the end-to-end check's test certificate authority into the current
// user's Root store of its throwaway prefix, where Telvora.exe's WinHTTP looks for roots.
#include <windows.h>

#include <cstdio>
#include <exception>

#include "platform/paths.h"
#include "root_store.h"
#include "temp_dir.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: trust_root.exe CA.pem\n", stderr);
        return 2;
    }
    try {
        telvora::test::TrustInCurrentUserRoot(
            telvora::test::ReadFileBytes(std::filesystem::path(argv[1])));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "trust_root.exe: %s\n", error.what());
        return 1;
    }
    return 0;
}
