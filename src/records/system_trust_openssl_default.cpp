// SPDX-License-Identifier: Apache-2.0
// Where OpenSSL finds the system's CAs itself (Linux): libmosquitto asks it to.
#include <mosquitto.h>

#include "records/system_trust.h"

bool TrustSystemCas(mosquitto* mosq, const std::string&, std::string& error) {
    if (mosquitto_int_option(mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1) == MOSQ_ERR_SUCCESS) return true;
    error = "the system's CAs cannot be used";
    return false;
}

void PrepareTlsLibrary() {}
