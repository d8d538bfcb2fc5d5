#include "update/install/installer_file.h"

#include <shellapi.h>

#include <cstring>
#include <vector>

#include "framework/ansi_text.h"

#include "update/result_codes.h"

namespace {

// Large blocks: the copy of a large installer runs in the thousands of
// calls with small ones, and every call costs under the platform.
constexpr ULONG kCopyBlock = 64 * 1024;
// One step of the digest reads blocks for about this long: long enough that
// the steps cost nothing, short enough that the window answers between them.
constexpr ULONG kDigestBlock = 1024 * 1024;
constexpr DWORD kDigestStepMs = 50;

HRESULT LastError()
{
    const DWORD dwError = GetLastError();
    return dwError != ERROR_SUCCESS ? HRESULT_FROM_WIN32(dwError) : E_FAIL;
}

} // namespace

CInstallerFile::~CInstallerFile()
{
    // A run that ends while the download still arrives leaves the part
    // written for the next.
    Release();
}

HRESULT CInstallerFile::Create(const std::string& path)
{
    Release();
    m_held.reset();
    m_cbWritten = 0;
    m_cbStreamBase = 0;
    if (path.empty())
        return E_INVALIDARG;
    // Others may read it meanwhile, but not write or delete it.
    m_file.Reset(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    // A file that another program holds is that program's, not ours to take
    // away.
    if (!m_file)
        return LastError();
    m_path = path;
    m_bWriting = true;
    return S_OK;
}

HRESULT CInstallerFile::Resume(const std::string& path, uint64_t cbKeep)
{
    Release();
    m_held.reset();
    if (path.empty())
        return E_INVALIDARG;
    m_file.Reset(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!m_file)
        return LastError();
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(m_file.Get(), &size))
        return LastError();
    if (static_cast<uint64_t>(size.QuadPart) < cbKeep)
    {
        m_file.Reset();
        return E_UNEXPECTED;
    }
    m_path = path;
    m_bWriting = true;
    m_cbWritten = size.QuadPart;
    const HRESULT hr = BeginStreamAt(cbKeep);
    if (FAILED(hr))
        Release();
    return hr;
}

HRESULT CInstallerFile::Flush()
{
    if (!m_bWriting)
        return E_UNEXPECTED;
    return FlushFileBuffers(m_file.Get()) ? S_OK : LastError();
}

HRESULT CInstallerFile::AppendFrom(IStream* pStream)
{
    if (!m_bWriting || pStream == nullptr)
        return E_UNEXPECTED;
    // The platform goes on filling the stream; it is read from where the
    // last call stopped to where it ends now.
    LARGE_INTEGER offset;
    offset.QuadPart = static_cast<LONGLONG>(m_cbWritten - m_cbStreamBase);
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

HRESULT CInstallerFile::BeginStreamAt(uint64_t cbOffset)
{
    if (!m_bWriting || cbOffset > m_cbWritten)
        return E_UNEXPECTED;
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(cbOffset);
    if (!SetFilePointerEx(m_file.Get(), position, nullptr, FILE_BEGIN) || !SetEndOfFile(m_file.Get()))
        return LastError();
    m_cbWritten = cbOffset;
    m_cbStreamBase = cbOffset;
    return S_OK;
}

HRESULT CInstallerFile::Finish()
{
    if (!m_bWriting)
        return E_UNEXPECTED;
    FileIdentity written;
    HRESULT hr = IdentityOf(m_file.Get(), written);
    if (FAILED(hr))
        return hr;
    // Back to back: the writing handle must be gone before the reading one
    // that denies writing can be had.
    m_file.Reset();
    m_bWriting = false;
    OnWritingClosed();
    // Deleting is the holder's own right, for the rename to the installer's
    // name; others may neither write nor delete it.
    m_file.Reset(CreateFileA(m_path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!m_file)
        return LastError();
    FileIdentity reopened;
    hr = IdentityOf(m_file.Get(), reopened);
    if (SUCCEEDED(hr) && !(reopened == written))
        hr = E_INSTALLER_REPLACED;
    if (SUCCEEDED(hr) && m_expected)
        hr = m_hash.Start();
    if (FAILED(hr))
    {
        m_file.Reset();
        return hr;
    }
    m_bHeld = true;
    return S_OK;
}

HRESULT CInstallerFile::DigestStep(bool& bDone)
{
    bDone = false;
    if (!m_bHeld)
        return E_UNEXPECTED;
    if (m_held || !m_expected)
    {
        bDone = true;
        return S_OK;
    }
    // The held handle is read from where the last step stopped; nothing
    // else moves its file pointer.
    std::vector<char> block(kDigestBlock);
    const DWORD dwStart = GetTickCount();
    while (GetTickCount() - dwStart < kDigestStepMs)
    {
        DWORD cbRead = 0;
        if (!ReadFile(m_file.Get(), block.data(), kDigestBlock, &cbRead, nullptr))
            return LastError();
        if (cbRead == 0)
        {
            Sha256Digest digest;
            const HRESULT hr = m_hash.Finish(digest);
            if (FAILED(hr))
                return hr;
            m_held = digest;
            bDone = true;
            return S_OK;
        }
        const HRESULT hr = m_hash.Add(block.data(), cbRead);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CInstallerFile::IdentityOf(HANDLE hFile, FileIdentity& identity)
{
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(hFile, &info))
        return LastError();
    identity.dwVolumeSerialNumber = info.dwVolumeSerialNumber;
    identity.nFileIndexHigh = info.nFileIndexHigh;
    identity.nFileIndexLow = info.nFileIndexLow;
    return S_OK;
}

HRESULT CInstallerFile::GetSize(uint64_t& cbSize) const
{
    // Nothing held, or still being written: no system call failed.
    if (!m_file || !m_bHeld)
        return E_UNEXPECTED;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(m_file.Get(), &size))
        return LastError();
    cbSize = static_cast<uint64_t>(size.QuadPart);
    return S_OK;
}

HRESULT CInstallerFile::TakeName(const std::string& path)
{
    if (!m_bHeld)
        return E_UNEXPECTED;
    std::wstring widePath;
    if (!fw::AnsiToWide(path.c_str(), widePath))
        return E_INVALIDARG;
    const size_t cbName = widePath.size() * sizeof(wchar_t);
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + cbName);
    auto* pInfo = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    pInfo->ReplaceIfExists = TRUE;
    pInfo->RootDirectory = nullptr;
    pInfo->FileNameLength = static_cast<DWORD>(cbName);
    std::memcpy(pInfo->FileName, widePath.c_str(), cbName + sizeof(wchar_t));
    if (!SetFileInformationByHandle(m_file.Get(), FileRenameInfo, pInfo, static_cast<DWORD>(buffer.size())))
        return LastError();
    m_path = path;
    return S_OK;
}

bool CInstallerFile::HasExpectedDigest() const
{
    return m_bHeld && (!m_expected || (m_held && *m_expected == *m_held));
}

void CInstallerFile::Release()
{
    m_file.Reset();
    m_bWriting = false;
    m_bHeld = false;
}

void CInstallerFile::Discard()
{
    Release();
    if (!m_path.empty())
        DeleteFileA(m_path.c_str());
    m_path.clear();
}

HRESULT ShellExecuteResult(HINSTANCE hResult)
{
    const INT_PTR nResult = reinterpret_cast<INT_PTR>(hResult);
    if (nResult > 32)
        return S_OK;
    switch (nResult)
    {
    case 0:
        return E_OUTOFMEMORY;
    // These are the system's errors of the same numbers.
    case SE_ERR_FNF:
    case SE_ERR_PNF:
    case SE_ERR_ACCESSDENIED:
    case SE_ERR_OOM:
    case ERROR_BAD_FORMAT:
        return HRESULT_FROM_WIN32(static_cast<DWORD>(nResult));
    case SE_ERR_SHARE:
        return HRESULT_FROM_WIN32(ERROR_SHARING_VIOLATION);
    case SE_ERR_ASSOCINCOMPLETE:
    case SE_ERR_NOASSOC:
        return HRESULT_FROM_WIN32(ERROR_NO_ASSOCIATION);
    default:
        return E_FAIL;
    }
}
