// The installer as it is saved, checked and started. The file is created so
// that no other process can write or delete it, its SHA-256 is computed from
// the bytes as they are written, and when the writing ends it is at once
// opened again for reading, still denying writing and deleting to others,
// and held so until the shell has started it: the bytes checked are the
// bytes started. (The shell cannot start a file that is open for writing,
// so the writing handle cannot be the one held.)
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "framework/handles.h"
#include "update/download/sha256.h"
#include "update/wizard/update_info.h"

class CInstallerFile
{
public:
    CInstallerFile() = default;
    CInstallerFile(const CInstallerFile&) = delete;
    CInstallerFile& operator=(const CInstallerFile&) = delete;

    // The digest the update information announces, if it has one.
    void Expect(const std::optional<Sha256Digest>& digest) { m_expected = digest; }

    // Creates (or truncates) the file for writing and starts its digest.
    bool Create(const std::string& path);
    bool Write(const void* pData, DWORD cbData);
    // Ends the writing and holds the file for reading.
    bool Finish();

    // Of the held file: its whole size, and whether the bytes written have
    // the announced digest (true when none was announced).
    bool GetSize(uint64_t& cbSize) const;
    bool HasExpectedDigest() const;

    // Lets the file go, once the shell has started it; or lets it go and
    // deletes it.
    void Release();
    void Discard();

private:
    std::string m_path;
    fw::CFileHandle m_file;
    CSha256 m_hash;
    std::optional<Sha256Digest> m_expected;
    std::optional<Sha256Digest> m_written;
};
