// One small owning holder per kind of Windows handle, so that no path of the
// code closes a handle by hand or forgets to.
#pragma once

#include <windows.h>

#include <bcrypt.h>
#include <restartmanager.h>

namespace fw {

template <typename Traits>
class CScopedHandle
{
public:
    using Type = typename Traits::Type;

    CScopedHandle() noexcept : m_h(Traits::Invalid()) {}
    explicit CScopedHandle(Type h) noexcept : m_h(h) {}
    ~CScopedHandle() { Reset(); }

    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;
    CScopedHandle(CScopedHandle&& other) noexcept : m_h(other.Detach()) {}
    CScopedHandle& operator=(CScopedHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Detach());
        return *this;
    }

    Type Get() const noexcept { return m_h; }
    bool IsValid() const noexcept { return m_h != Traits::Invalid(); }
    explicit operator bool() const noexcept { return IsValid(); }

    // For APIs that return the handle through an out-parameter.
    Type* Receive() noexcept
    {
        Reset();
        return &m_h;
    }

    void Reset(Type h = Traits::Invalid()) noexcept
    {
        if (IsValid())
            Traits::Close(m_h);
        m_h = h;
    }

    Type Detach() noexcept
    {
        Type h = m_h;
        m_h = Traits::Invalid();
        return h;
    }

private:
    Type m_h;
};

struct RegKeyTraits
{
    using Type = HKEY;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::RegCloseKey(h); }
};

// Files, whose failure value is INVALID_HANDLE_VALUE.
struct FileTraits
{
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::CloseHandle(h); }
};

// Kernel objects whose failure value is null: tokens, events, mutexes,
// threads, processes.
struct KernelTraits
{
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::CloseHandle(h); }
};

struct ModuleTraits
{
    using Type = HMODULE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::FreeLibrary(h); }
};

struct GlobalTraits
{
    using Type = HGLOBAL;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::GlobalFree(h); }
};

struct LocalTraits
{
    using Type = HLOCAL;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::LocalFree(h); }
};

struct SidTraits
{
    using Type = PSID;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::FreeSid(h); }
};

struct FontTraits
{
    using Type = HFONT;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::DeleteObject(h); }
};

// CNG's algorithm providers, keys and hashes.
struct BCryptAlgTraits
{
    using Type = BCRYPT_ALG_HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::BCryptCloseAlgorithmProvider(h, 0); }
};

struct BCryptKeyTraits
{
    using Type = BCRYPT_KEY_HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::BCryptDestroyKey(h); }
};

struct BCryptHashTraits
{
    using Type = BCRYPT_HASH_HANDLE;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::BCryptDestroyHash(h); }
};

// Searches of a folder, which fail as files do but close by their own call.
struct FindTraits
{
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) { ::FindClose(h); }
};

struct IconTraits
{
    using Type = HICON;
    static Type Invalid() { return nullptr; }
    static void Close(Type h) { ::DestroyIcon(h); }
};

// A Restart Manager session, whose handle is a number from 0 on.
struct RestartSessionTraits
{
    using Type = DWORD;
    static Type Invalid() { return static_cast<DWORD>(-1); }
    static void Close(Type h) { ::RmEndSession(h); }
};

using CRegKeyHandle = CScopedHandle<RegKeyTraits>;
using CFileHandle = CScopedHandle<FileTraits>;
// Tool-help snapshots, which fail as files do.
using CSnapshotHandle = CScopedHandle<FileTraits>;
using CKernelHandle = CScopedHandle<KernelTraits>;
using CTokenHandle = CScopedHandle<KernelTraits>;
using CModuleHandle = CScopedHandle<ModuleTraits>;
using CGlobalBlock = CScopedHandle<GlobalTraits>;
using CLocalBlock = CScopedHandle<LocalTraits>;
using CSidHandle = CScopedHandle<SidTraits>;
using CFontHandle = CScopedHandle<FontTraits>;
using CBCryptAlgHandle = CScopedHandle<BCryptAlgTraits>;
using CBCryptKeyHandle = CScopedHandle<BCryptKeyTraits>;
using CBCryptHashHandle = CScopedHandle<BCryptHashTraits>;
using CFindHandle = CScopedHandle<FindTraits>;
// Icons this code loaded in a size of its own choosing; shared icons are not
// held.
using CIconHandle = CScopedHandle<IconTraits>;
using CRestartSession = CScopedHandle<RestartSessionTraits>;

} // namespace fw
