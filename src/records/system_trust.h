// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

struct mosquitto;

// Makes mosq's TLS connection to host trust the system's CAs, where no CA file is named. OpenSSL
// reads Linux's CA files itself; on Windows it knows none, and the CAs of Windows' certificate
// store are handed to it, with the check that the broker's certificate names host. False, with
// error set, when the system's CAs cannot be had.
bool TrustSystemCas(mosquitto* mosq, const std::string& host, std::string& error);

// Called once, before libmosquitto starts OpenSSL. On Windows OpenSSL then reads no configuration
// file: libmosquitto asks for one, which would come from a fixed folder of the machine. Linux's is
// the system's own and stays.
void PrepareTlsLibrary();
