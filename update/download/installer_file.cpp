#include "update/download/installer_file.h"

namespace {

// Large blocks: the copy of a large installer runs in the thousands of
// calls with small ones, and every call costs under the platform.
constexpr ULONG kCopyBlock = 64 * 1024;

HRESULT LastError()
{
    const DWORD dwError = GetLastError();
    return dwError != ERROR_SUCCESS ? HRESULT_FROM_WIN32(dwError) : E_FAIL;
}

} // namespace

CInstallerFile::~CInstallerFile()
{
    Discard();
}

HRESULT CInstallerFile::Create(const std::string& path)
{
    Discard();
    if (path.empty())
        return E_INVALIDARG;
    m_file.Reset(CreateFileA(path.c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file)
        return LastError();
    m_path = path;
    m_cbWritten = 0;
    return S_OK;
}

HRESULT CInstallerFile::AppendFrom(IStream* pStream)
{
    if (!m_file || pStream == nullptr)
        return E_UNEXPECTED;
    // The platform goes on filling the stream; it is read from where the
    // last call stopped to where it ends now.
    LARGE_INTEGER offset;
    offset.QuadPart = static_cast<LONGLONG>(m_cbWritten);
    HRESULT hr = pStream->Seek(offset, STREAM_SEEK_SET, nullptr);
    if (FAILED(hr))
        return hr;
    char block[kCopyBlock];
    for (;;)
    {
        ULONG cbRead = 0;
        hr = pStream->Read(block, kCopyBlock, &cbRead);
        if (FAILED(hr))
            return hr;
        if (cbRead == 0)
            return S_OK;
        DWORD cbWritten = 0;
        if (!WriteFile(m_file.Get(), block, cbRead, &cbWritten, nullptr))
            return LastError();
        if (cbWritten != cbRead)
            return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
        m_cbWritten += cbRead;
    }
}

void CInstallerFile::Close()
{
    m_file.Reset();
    m_path.clear();
}

void CInstallerFile::Discard()
{
    if (m_path.empty())
        return;
    m_file.Reset();
    DeleteFileA(m_path.c_str());
    m_path.clear();
}
