// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <string>

// --sign: the packed program signed again with Authenticode by osslsigncode, with the settings the
// release signs with:
//   VEXLOR_SIGN_PKCS12         the PKCS#12 file with the code-signing certificate, its chain and key
//   VEXLOR_SIGN_PASSWORD       its password (handed to osslsigncode through a pipe)
//   VEXLOR_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server (optional)
//   SOURCE_DATE_EPOCH          the signing time (optional; else the time of signing)

// Checks before anything is written that signing can run: the certificate file is named and
// readable and osslsigncode is found. False with error set.
bool CheckSigningSettings(std::string& error);

// Writes a signed copy of the program at in to out (through a temporary file beside out). False
// with error set; out is then untouched. stop (when not null) turning true while the signer runs
// keeps the signed copy from being put in place.
bool SignProgram(const std::string& in, const std::string& out, std::string& error,
                 const std::atomic<bool>* stop = nullptr);

// path, or path with a number added when a file of that name exists: a scratch file never
// replaces one of the user's.
std::string UnusedPathBeside(const std::string& path);
