#include "setupext/toolbar_file.h"

#include <windows.h>

#include <shlwapi.h>

#include "framework/handles.h"
#include "setupext/host_path_table.h"

namespace setupext {

namespace {

const TCHAR kToolbarFileName[] = TEXT("kxuser.def");
const TCHAR kScriptFileName[] = TEXT("script.txt");
// The markers are bytes of the file, searched as such in either build.
const char kSectionMarker[] = "[MailerForm_Vexil32Antispam]";
const char kJunkCommandMarker[] = "[mMarkSpamJUNK]";
const char kNotJunkCommandMarker[] = "[mMarkSpamNOTJUNK]";

constexpr DWORD kcbCopyBlock = 16384;

// PathCombine puts exactly one backslash between the two, whether or not
// the folder ends in one. A join that does not fit leaves the path empty,
// and an empty path names no file.
void JoinPath(const TCHAR* pszFolder, const TCHAR* pszFileName, TCHAR (&szPath)[kcchPath])
{
    if (PathCombine(szPath, pszFolder, pszFileName) == nullptr)
        szPath[0] = '\0';
}

bool FormToolbarFilePath(TCHAR (&szPath)[kcchPath])
{
    TCHAR szWorkDir[kcchPath];
    if (!LookUpHostPath(kWorkDirEntry, szWorkDir))
        return false;
    JoinPath(szWorkDir, kToolbarFileName, szPath);
    return true;
}

void FormScriptPath(TCHAR (&szPath)[kcchPath])
{
    TCHAR szTempDir[kcchValueRead] = {};
    const DWORD cchTempDir = GetTempPath(kcchPath, szTempDir);
    if (cchTempDir == 0 || cchTempDir >= static_cast<DWORD>(kcchPath))
    {
        szPath[0] = '\0';
        return;
    }
    JoinPath(szTempDir, kScriptFileName, szPath);
}

void CutBack(HANDLE hFile, LARGE_INTEGER oldEnd)
{
    if (SetFilePointerEx(hFile, oldEnd, nullptr, FILE_BEGIN))
        SetEndOfFile(hFile);
}

// All of the script or nothing: the host must never read half a section,
// and a later call must find the file as it was to append again.
bool CopyToEnd(HANDLE hScript, HANDLE hToolbar, LARGE_INTEGER oldEnd)
{
    char achBlock[kcbCopyBlock];
    for (;;)
    {
        DWORD cbRead = 0;
        if (!ReadFile(hScript, achBlock, kcbCopyBlock, &cbRead, nullptr))
        {
            CutBack(hToolbar, oldEnd);
            return false;
        }
        if (cbRead == 0)
            return true;
        DWORD cbWritten = 0;
        if (!WriteFile(hToolbar, achBlock, cbRead, &cbWritten, nullptr) || cbWritten != cbRead)
        {
            CutBack(hToolbar, oldEnd);
            return false;
        }
    }
}

// The installer runs with administrator rights, and the folder is the
// user's to fill: a link, or a second name of another file, planted as the
// toolbar file would have it create or extend whatever that names. The file
// is taken only as itself and as its only name, checked through the handle
// that is then written.
bool OpenPlainFile(const TCHAR* pszPath, fw::CFileHandle& file)
{
    file.Reset(CreateFile(pszPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!file || !GetFileInformationByHandle(file.Get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || info.nNumberOfLinks != 1)
    {
        file.Reset();
        return false;
    }
    return true;
}

} // namespace

bool ScanToolbarFile(const TCHAR* pszPath, ToolbarScan mode)
{
    fw::CFileHandle file(CreateFile(pszPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    // The whole file is searched in one block, with a zero byte after it.
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size) || size.HighPart != 0 || size.LowPart == MAXDWORD)
        return false;
    fw::CGlobalBlock block(GlobalAlloc(GPTR, size.LowPart + 1));
    if (!block)
        return false;
    auto* pText = static_cast<char*>(block.Get());
    for (DWORD cbDone = 0; cbDone < size.LowPart;)
    {
        DWORD cbRead = 0;
        if (!ReadFile(file.Get(), pText + cbDone, size.LowPart - cbDone, &cbRead, nullptr) ||
            cbRead == 0)
            break;
        cbDone += cbRead;
    }

    if (mode == ToolbarScan::Section)
        return StrStrIA(pText, kSectionMarker) != nullptr;
    return StrStrIA(pText, kJunkCommandMarker) != nullptr &&
           StrStrIA(pText, kNotJunkCommandMarker) != nullptr;
}

bool AppendToolbarScript()
{
    TCHAR szToolbarPath[kcchPath];
    if (!FormToolbarFilePath(szToolbarPath))
        return false;
    if (ScanToolbarFile(szToolbarPath, ToolbarScan::Section))
        return true;

    fw::CFileHandle toolbar;
    if (!OpenPlainFile(szToolbarPath, toolbar))
        return false;
    LARGE_INTEGER oldEnd = {};
    if (!SetFilePointerEx(toolbar.Get(), LARGE_INTEGER{}, &oldEnd, FILE_END))
        return false;

    TCHAR szScriptPath[kcchPath];
    FormScriptPath(szScriptPath);
    fw::CFileHandle script(CreateFile(szScriptPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!script)
        return false;
    return CopyToEnd(script.Get(), toolbar.Get(), oldEnd);
}

std::optional<bool> HasToolbarCommands()
{
    TCHAR szToolbarPath[kcchPath];
    if (!FormToolbarFilePath(szToolbarPath))
        return std::nullopt;
    return ScanToolbarFile(szToolbarPath, ToolbarScan::Commands);
}

} // namespace setupext
