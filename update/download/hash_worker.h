// A SHA-256 computed on a thread of its own, so that the digest of a large
// installer is taken beside its download rather than after it: the platform
// fills its stream on the UI thread, which must not wait for the hash. The
// blocks are copied into a small ring; Add waits only when the ring is full.
// The thread touches nothing but the ring and the hash.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/handles.h"
#include "update/download/sha256.h"

class CHashWorker
{
public:
    static constexpr ULONG kBlock = 64 * 1024;

    CHashWorker() = default;
    ~CHashWorker();

    CHashWorker(const CHashWorker&) = delete;
    CHashWorker& operator=(const CHashWorker&) = delete;

    // Begins a fresh digest, dropping any unfinished one.
    HRESULT Start();
    // Hands over up to kBlock bytes.
    HRESULT Add(const void* pData, ULONG cbData);
    // Waits for the blocks handed over and ends the digest.
    HRESULT Finish(Sha256Digest& digest);
    // Ends the thread without a digest.
    void Stop();

private:
    static constexpr int kSlots = 16;
    struct Slot
    {
        ULONG cb;
        unsigned char data[kBlock];
    };

    static DWORD WINAPI ThreadProc(void* pWorker);
    void Run();
    // Hands over a block, or the end (cbData 0).
    void Post(const void* pData, ULONG cbData);
    void EndThread();

    std::unique_ptr<Slot[]> m_slots;
    fw::CKernelHandle m_hFree;
    fw::CKernelHandle m_hFilled;
    fw::CKernelHandle m_hThread;
    int m_nNextWrite = 0;
    int m_nNextRead = 0;
    // Set by the thread, read after it has ended.
    HRESULT m_hrHash = S_OK;
    CSha256 m_hash;
};
