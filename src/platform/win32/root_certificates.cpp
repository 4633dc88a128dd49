// SPDX-License-Identifier: Apache-2.0
#include "platform/root_certificates.h"

#include <windows.h>
#include <wincrypt.h>

#include "platform/sys_error.h"

namespace platform {

std::vector<DerCertificate> SystemRootCertificates(std::string& error) {
    error.clear();
    // The user's ROOT store shows the machine's roots as well as those the user added.
    const HCERTSTORE store = CertOpenSystemStoreW(0, L"ROOT");
    if (!store) {
        error = "the certificate store ROOT cannot be opened: " + SysErrorPhrase(static_cast<int>(GetLastError()));
        return {};
    }
    std::vector<DerCertificate> roots;
    // Each call lets go of the certificate before: none is left held when the walk ends.
    for (PCCERT_CONTEXT cert = CertEnumCertificatesInStore(store, nullptr); cert;
         cert = CertEnumCertificatesInStore(store, cert)) {
        if ((cert->dwCertEncodingType & X509_ASN_ENCODING) && cert->pbCertEncoded && cert->cbCertEncoded > 0)
            roots.emplace_back(cert->pbCertEncoded, cert->pbCertEncoded + cert->cbCertEncoded);
    }
    CertCloseStore(store, 0);
    return roots;
}

}  // namespace platform
