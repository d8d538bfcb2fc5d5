#include "update/trust/update_signature.h"

#include <wincrypt.h>

#include <cstring>

#include "update/trust/sha256.h"

namespace {

constexpr size_t kP256Bytes = 32;

// crypt32 allocates the decoded structure in the block.
bool Decode(LPCSTR pszStructType, const BYTE* pbEncoded, DWORD cbEncoded, fw::CLocalBlock& decoded)
{
    DWORD cbDecoded = 0;
    return CryptDecodeObjectEx(X509_ASN_ENCODING, pszStructType, pbEncoded, cbEncoded,
                               CRYPT_DECODE_ALLOC_FLAG, nullptr, decoded.Receive(),
                               &cbDecoded) != FALSE;
}

// crypt32 gives r and s as little-endian numbers without leading zeros;
// CNG wants each big-endian in exactly 32 bytes.
bool PutBigEndian(const CRYPT_UINT_BLOB& number, BYTE* pbOut)
{
    for (DWORD i = kP256Bytes; i < number.cbData; ++i)
    {
        if (number.pbData[i] != 0)
            return false;
    }
    std::memset(pbOut, 0, kP256Bytes);
    for (DWORD i = 0; i < number.cbData && i < kP256Bytes; ++i)
        pbOut[kP256Bytes - 1 - i] = number.pbData[i];
    return true;
}

} // namespace

KeyProblem CUpdateKeys::AddPem(const std::string& pem)
{
    DWORD cbDer = 0;
    if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()),
                              CRYPT_STRING_BASE64HEADER, nullptr, &cbDer, nullptr, nullptr) ||
        pem.find("-----BEGIN PUBLIC KEY-----") == std::string::npos)
        return KeyProblem::NotPem;
    std::vector<BYTE> der(cbDer);
    if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()),
                              CRYPT_STRING_BASE64HEADER, der.data(), &cbDer, nullptr, nullptr))
        return KeyProblem::NotPem;
    return AddDer(der.data(), cbDer);
}

KeyProblem CUpdateKeys::AddDer(const BYTE* pbDer, DWORD cbDer)
{
    fw::CLocalBlock info;
    if (pbDer == nullptr || cbDer == 0 || !Decode(X509_PUBLIC_KEY_INFO, pbDer, cbDer, info))
        return KeyProblem::NotPublicKey;
    auto* pInfo = static_cast<CERT_PUBLIC_KEY_INFO*>(info.Get());
    // An EC public key whose parameters name the curve P-256.
    const CRYPT_ALGORITHM_IDENTIFIER& algorithm = pInfo->Algorithm;
    fw::CLocalBlock curve;
    if (std::strcmp(algorithm.pszObjId, szOID_ECC_PUBLIC_KEY) != 0 ||
        !Decode(X509_OBJECT_IDENTIFIER, algorithm.Parameters.pbData, algorithm.Parameters.cbData,
                curve) ||
        std::strcmp(*static_cast<const LPSTR*>(curve.Get()), szOID_ECC_CURVE_P256) != 0)
        return KeyProblem::NotP256;
    fw::CBCryptKeyHandle key;
    if (!CryptImportPublicKeyInfoEx2(X509_ASN_ENCODING, pInfo, 0, nullptr, key.Receive()))
        return KeyProblem::NotP256;
    m_keys.push_back(std::move(key));
    return KeyProblem::None;
}

UpdateTrust CUpdateKeys::Check(const UpdateInfo& info) const
{
    if (!info.signature)
        return UpdateTrust::Unsigned;

    fw::CLocalBlock decoded;
    BYTE rs[2 * kP256Bytes];
    if (info.signature->empty() ||
        !Decode(X509_ECC_SIGNATURE, info.signature->data(),
                static_cast<DWORD>(info.signature->size()), decoded))
        return UpdateTrust::MalformedSignature;
    const auto* pSignature = static_cast<const CERT_ECC_SIGNATURE*>(decoded.Get());
    if (!PutBigEndian(pSignature->r, rs) || !PutBigEndian(pSignature->s, rs + kP256Bytes))
        return UpdateTrust::MalformedSignature;

    Sha256Digest digest;
    if (FAILED(CSha256::Of(info.signedBytes.data(), static_cast<ULONG>(info.signedBytes.size()),
                           digest)))
        return UpdateTrust::BadSignature;
    bool bVerified = false;
    for (const fw::CBCryptKeyHandle& key : m_keys)
    {
        bVerified = bVerified || BCRYPT_SUCCESS(BCryptVerifySignature(
                                     key.Get(), nullptr, digest.data(),
                                     static_cast<ULONG>(digest.size()), rs, sizeof(rs), 0));
    }
    if (!bVerified)
        return UpdateTrust::BadSignature;
    return info.installerSha256 ? UpdateTrust::Trusted : UpdateTrust::NoDigest;
}
