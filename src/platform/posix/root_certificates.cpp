// SPDX-License-Identifier: Apache-2.0
#include "platform/root_certificates.h"

namespace platform {

std::vector<DerCertificate> SystemRootCertificates(std::string& error) {
    error.clear();
    return {};
}

}  // namespace platform
