#include "update/download/installer_file.h"

bool CInstallerFile::Create(const std::string& path)
{
    Release();
    m_written.reset();
    m_path = path;
    // Others may read it meanwhile, but not write or delete it.
    m_file.Reset(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file)
        return false;
    if (FAILED(m_hash.Start()))
    {
        Discard();
        return false;
    }
    return true;
}

bool CInstallerFile::Write(const void* pData, DWORD cbData)
{
    DWORD cbWritten = 0;
    return m_file && WriteFile(m_file.Get(), pData, cbData, &cbWritten, nullptr) &&
           cbWritten == cbData && SUCCEEDED(m_hash.Add(pData, cbData));
}

bool CInstallerFile::Finish()
{
    Sha256Digest digest;
    if (!m_file || FAILED(m_hash.Finish(digest)))
        return false;
    // Back to back: the writing handle must be gone before the reading one
    // that denies writing can be had.
    m_file.Reset();
    m_file.Reset(CreateFileA(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file)
        return false;
    m_written = digest;
    return true;
}

bool CInstallerFile::GetSize(uint64_t& cbSize) const
{
    LARGE_INTEGER size = {};
    if (!m_file || !m_written || !GetFileSizeEx(m_file.Get(), &size))
        return false;
    cbSize = static_cast<uint64_t>(size.QuadPart);
    return true;
}

bool CInstallerFile::HasExpectedDigest() const
{
    return m_written && (!m_expected || *m_expected == *m_written);
}

void CInstallerFile::Release()
{
    m_file.Reset();
}

void CInstallerFile::Discard()
{
    m_file.Reset();
    if (!m_path.empty())
        DeleteFileA(m_path.c_str());
}
