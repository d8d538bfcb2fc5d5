// The publisher's signature on the update information: ECDSA with curve
// P-256 over SHA-256, checked against the publisher's public keys with
// Windows' own crypt32 (PEM and DER) and CNG. The updater and the
// publisher's update-info command check with this same code.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "framework/handles.h"
#include "update/info/signature_verdict.h"
#include "update/info/update_info.h"

// Why a key was not taken.
enum class KeyProblem
{
    None,
    NotPem,       // no "-----BEGIN PUBLIC KEY-----" block of base64
    NotPublicKey, // the block is not a public-key structure
    NotP256,      // a public key, but not an EC key on curve P-256
};

class CUpdateKeys
{
public:
    CUpdateKeys() = default;
    CUpdateKeys(const CUpdateKeys&) = delete;
    CUpdateKeys& operator=(const CUpdateKeys&) = delete;

    // A public key as "openssl pkey -pubout" writes it.
    KeyProblem AddPem(const std::string& pem);
    // The same key as DER, a SubjectPublicKeyInfo.
    KeyProblem AddDer(const BYTE* pbDer, DWORD cbDer);
    size_t Count() const { return m_keys.size(); }

    // A valid signature by any one of the keys counts.
    UpdateTrust Check(const UpdateInfo& info) const;

private:
    std::vector<fw::CBCryptKeyHandle> m_keys;
};
