// SPDX-License-Identifier: Apache-2.0
// Where OpenSSL knows no CAs of the system (Windows): an SSL_CTX of our own that trusts the
// system store's roots and checks that the broker's certificate names the host. libmosquitto
// takes it as it is (no defaults of its own added): its defaults would not check the host here,
// and the system's CAs, as libmosquitto asks OpenSSL for them, are a fixed folder of OpenSSL's.
#include <mosquitto.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>

#include "platform/root_certificates.h"
#include "records/system_trust.h"

namespace {

struct ContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
using Context = std::unique_ptr<SSL_CTX, ContextFree>;

// The roots OpenSSL can read, added to context's store; how many.
std::size_t AddRoots(SSL_CTX* context, const std::vector<platform::DerCertificate>& roots) {
    X509_STORE* store = SSL_CTX_get_cert_store(context);
    std::size_t added = 0;
    for (const platform::DerCertificate& der : roots) {
        const unsigned char* data = der.data();
        X509* certificate = d2i_X509(nullptr, &data, static_cast<long>(der.size()));
        // A certificate OpenSSL cannot read is one it could not have checked a chain with.
        if (!certificate) continue;
        if (X509_STORE_add_cert(store, certificate) == 1) ++added;
        X509_free(certificate);
    }
    ERR_clear_error();  // the unreadable ones and any the store held already
    return added;
}

}  // namespace

bool TrustSystemCas(mosquitto* mosq, const std::string& host, std::string& error) {
    const std::string advice = "; name the broker's CA with --publish-ca";
    std::string storeError;
    const std::vector<platform::DerCertificate> roots = platform::SystemRootCertificates(storeError);
    if (!storeError.empty()) {
        error = storeError + advice;
        return false;
    }
    Context context(SSL_CTX_new(TLS_client_method()));
    if (!context || SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION) != 1) {
        error = "OpenSSL cannot make a TLS context";
        return false;
    }
    if (AddRoots(context.get(), roots) == 0) {
        error = "the system's certificate store holds no CA that OpenSSL can read" + advice;
        return false;
    }
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    // The broker's certificate must name the host: an address in an IP entry, a name in a DNS entry.
    X509_VERIFY_PARAM* param = SSL_CTX_get0_param(context.get());
    if (X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) != 1) {
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        if (X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size()) != 1) {
            error = "the host name " + host + " cannot be checked against a certificate";
            return false;
        }
    }
    ERR_clear_error();
    // libmosquitto takes a reference of its own.
    if (mosquitto_int_option(mosq, MOSQ_OPT_SSL_CTX_WITH_DEFAULTS, 0) != MOSQ_ERR_SUCCESS ||
        mosquitto_void_option(mosq, MOSQ_OPT_SSL_CTX, context.get()) != MOSQ_ERR_SUCCESS) {
        error = "libmosquitto does not take the TLS context";
        return false;
    }
    return true;
}

void PrepareTlsLibrary() { OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr); }
