#include "root_store.h"

#include <windows.h>
// (after windows.h, which it needs)
#include <wincrypt.h>

#include <stdexcept>

namespace telvora::test {

void TrustInCurrentUserRoot(const std::string& pem) {
    DWORD size = 0;
    CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                         nullptr, &size, nullptr, nullptr);
    std::string der(size, '\0');
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    if (size == 0 ||
        !CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                              reinterpret_cast<BYTE*>(der.data()), &size, nullptr, nullptr) ||
        store == nullptr ||
        !CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING,
                                          reinterpret_cast<const BYTE*>(der.data()), size,
                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
        const DWORD error = GetLastError();
        if (store != nullptr) {
            CertCloseStore(store, 0);
        }
        throw std::runtime_error("can't add the test CA to the Root store: " +
                                 std::to_string(error));
    }
    CertCloseStore(store, 0);
}

}  // namespace telvora::test
