// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <vector>

namespace platform {

// One certificate in DER form, as the system keeps it.
using DerCertificate = std::vector<unsigned char>;

// The root CAs the system trusts for TLS, for a TLS library that cannot read the system's own
// store: Windows' "ROOT" store (the user's and the machine's). Empty on Linux, where OpenSSL reads
// the system's CA files itself. Empty with error set when the store cannot be opened.
std::vector<DerCertificate> SystemRootCertificates(std::string& error);

}  // namespace platform
