// The installer file being saved in the update folder. It is written while
// the download is still arriving, so that little is left to do when the
// transfer ends, and taken away again when the download does not complete:
// a part of an installer is no installer.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <string>

#include "framework/handles.h"

class CInstallerFile
{
public:
    CInstallerFile() = default;
    ~CInstallerFile();

    CInstallerFile(const CInstallerFile&) = delete;
    CInstallerFile& operator=(const CInstallerFile&) = delete;

    // Creates (or truncates) the file. Others may read, write or delete it
    // meanwhile: nothing is locked out. S_OK, or the system's error.
    HRESULT Create(const std::string& path);
    bool IsOpen() const { return static_cast<bool>(m_file); }

    // Appends whatever the stream holds beyond what was appended before, up
    // to its present end. S_OK, or the failure of the read or the write.
    HRESULT AppendFrom(IStream* pStream);
    ULONGLONG Written() const { return m_cbWritten; }

    // Closes the file, keeping it.
    void Close();
    // Closes the file and deletes it.
    void Discard();

private:
    fw::CFileHandle m_file;
    std::string m_path;
    ULONGLONG m_cbWritten = 0;
};
