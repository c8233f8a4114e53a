// A test certificate authority trusted where WinHTTP looks for roots: the current user's Root
// store of the (throwaway) Wine prefix, never the host's trust store. It stays: the prefix goes
// after the run. Windows build only.
#pragma once

#include <string>

namespace telvora::test {

// Adds the CA certificate `pem` (PEM text) to the current user's Root store; throws on failure.
void TrustInCurrentUserRoot(const std::string& pem);

}  // namespace telvora::test
