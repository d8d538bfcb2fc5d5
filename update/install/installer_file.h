// The installer as it is saved, checked and started. It is written while the
// download is still arriving. The file is created so that no other process
// can write or delete it; when the writing ends it is at once opened again
// for reading, still denying writing and deleting to others, and held so
// until the shell has started it. (The shell cannot start a file that is
// open for writing, so the writing handle cannot be the one held.) The file
// opened again must be the file written, by its volume and file index: in
// the moment between the two handles another process could have put a file
// of its own in its place.
//
// Its SHA-256 is taken over the file as held, read once through the handle
// that denies writing: the bytes checked are the bytes started, whatever
// happened to the file before it was held. The reading goes in steps, so
// that the window waiting for it stays responsive over a large installer.
//
// A download that does not complete leaves its file, under a name of its
// own, for the next run to go on from; it takes the installer's name only
// once its digest holds.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <optional>
#include <string>

#include "framework/handles.h"
#include "update/trust/sha256.h"
#include "update/info/update_info.h"

class CInstallerFile
{
public:
    CInstallerFile() = default;
    virtual ~CInstallerFile();

    CInstallerFile(const CInstallerFile&) = delete;
    CInstallerFile& operator=(const CInstallerFile&) = delete;

    // The digest the update information announces, if it has one.
    void Expect(const std::optional<Sha256Digest>& digest) { m_expected = digest; }

    // Creates (or truncates) the file for writing. S_OK, or the system's
    // error.
    HRESULT Create(const std::string& path);
    // Opens the file that an earlier run began, for writing on after its
    // first cbKeep bytes; anything beyond them is cut off. S_OK, or the
    // system's error (E_UNEXPECTED where it is shorter).
    HRESULT Resume(const std::string& path, uint64_t cbKeep);
    // Puts what was written on the disk, before a record counts it.
    HRESULT Flush();
    bool IsWriting() const { return m_bWriting; }
    // Appends whatever the stream holds beyond what was appended before, up
    // to its present end. S_OK, or the failure of the read or the write.
    HRESULT AppendFrom(IStream* pStream);
    // The next stream appended from holds the file from cbOffset on (at most
    // the bytes written): what lies beyond is cut off. S_OK, E_UNEXPECTED
    // while not writing or past the end, or the system's error.
    HRESULT BeginStreamAt(uint64_t cbOffset);
    uint64_t BytesWritten() const { return m_cbWritten; }
    // Ends the writing and holds the file for reading. S_OK,
    // E_INSTALLER_REPLACED (nothing held) when the file found by its path is
    // no longer the one written, or the system's error.
    HRESULT Finish();

    // Reads the next part of the held file into its digest: S_OK with bDone
    // once the whole file is read (at once when no digest was announced),
    // E_UNEXPECTED when no written file is held, or the system's error.
    HRESULT DigestStep(bool& bDone);

    // Of the held file: its whole size (S_OK; E_UNEXPECTED, cbSize
    // untouched, when no written file is held; or the system's error), and
    // whether the bytes read by DigestStep have the announced digest (true
    // when none was announced; false before the reading is done).
    HRESULT GetSize(uint64_t& cbSize) const;
    bool HasExpectedDigest() const;

    // Gives the held file, once its digest holds, its own name: through the
    // handle that holds it, so that the name is never another file's. S_OK,
    // or the system's error.
    HRESULT TakeName(const std::string& path);

    const std::optional<Sha256Digest>& Expected() const { return m_expected; }

    // Lets the file go, once the shell has started it, or to be gone on
    // from in another run; or lets it go and deletes it.
    void Release();
    void Discard();

protected:
    // Called between the writing handle's close and the reopening: the
    // moment another process could take.
    virtual void OnWritingClosed() {}

private:
    // What tells one file from another on its volume.
    struct FileIdentity
    {
        DWORD dwVolumeSerialNumber = 0;
        DWORD nFileIndexHigh = 0;
        DWORD nFileIndexLow = 0;

        bool operator==(const FileIdentity& other) const
        {
            return dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
                   nFileIndexHigh == other.nFileIndexHigh && nFileIndexLow == other.nFileIndexLow;
        }
    };
    static HRESULT IdentityOf(HANDLE hFile, FileIdentity& identity);

    std::string m_path;
    fw::CFileHandle m_file;
    bool m_bWriting = false;
    // The file written is held for reading.
    bool m_bHeld = false;
    uint64_t m_cbWritten = 0;
    // Where the stream appended from begins in the file.
    uint64_t m_cbStreamBase = 0;
    CSha256 m_hash;
    std::optional<Sha256Digest> m_expected;
    // The digest of the held file, once it has been read to its end.
    std::optional<Sha256Digest> m_held;
};

// What ShellExecuteA returned for the start of the installer, as an
// HRESULT: S_OK when it started (above 32), otherwise the system's error of
// the same meaning. The shell tells why only by that value; its last error
// is not set reliably.
HRESULT ShellExecuteResult(HINSTANCE hResult);
