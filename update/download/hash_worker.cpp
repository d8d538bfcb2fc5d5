#include "update/download/hash_worker.h"

#include <cstring>
#include <new>

CHashWorker::~CHashWorker()
{
    Stop();
}

HRESULT CHashWorker::Start()
{
    Stop();
    if (!m_slots)
    {
        m_slots.reset(new (std::nothrow) Slot[kSlots]);
        if (!m_slots)
            return E_OUTOFMEMORY;
    }
    HRESULT hr = m_hash.Start();
    if (FAILED(hr))
        return hr;
    m_hFree.Reset(CreateSemaphoreA(nullptr, kSlots, kSlots, nullptr));
    m_hFilled.Reset(CreateSemaphoreA(nullptr, 0, kSlots, nullptr));
    if (!m_hFree || !m_hFilled)
        return HRESULT_FROM_WIN32(GetLastError());
    m_nNextWrite = 0;
    m_nNextRead = 0;
    m_hrHash = S_OK;
    m_hThread.Reset(CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr));
    return m_hThread ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

HRESULT CHashWorker::Add(const void* pData, ULONG cbData)
{
    if (!m_hThread || cbData > kBlock)
        return E_UNEXPECTED;
    if (cbData != 0)
        Post(pData, cbData);
    return S_OK;
}

HRESULT CHashWorker::Finish(Sha256Digest& digest)
{
    if (!m_hThread)
        return E_UNEXPECTED;
    EndThread();
    return FAILED(m_hrHash) ? m_hrHash : m_hash.Finish(digest);
}

void CHashWorker::Stop()
{
    if (m_hThread)
        EndThread();
}

void CHashWorker::Post(const void* pData, ULONG cbData)
{
    WaitForSingleObject(m_hFree.Get(), INFINITE);
    Slot& slot = m_slots[m_nNextWrite];
    slot.cb = cbData;
    if (cbData != 0)
        std::memcpy(slot.data, pData, cbData);
    m_nNextWrite = (m_nNextWrite + 1) % kSlots;
    ReleaseSemaphore(m_hFilled.Get(), 1, nullptr);
}

void CHashWorker::EndThread()
{
    Post(nullptr, 0);
    WaitForSingleObject(m_hThread.Get(), INFINITE);
    m_hThread.Reset();
}

DWORD WINAPI CHashWorker::ThreadProc(void* pWorker)
{
    static_cast<CHashWorker*>(pWorker)->Run();
    return 0;
}

void CHashWorker::Run()
{
    for (;;)
    {
        WaitForSingleObject(m_hFilled.Get(), INFINITE);
        const Slot& slot = m_slots[m_nNextRead];
        m_nNextRead = (m_nNextRead + 1) % kSlots;
        const ULONG cb = slot.cb;
        // A failure is kept and the blocks still taken, so that Add never
        // waits on a thread that stopped reading.
        if (cb != 0 && SUCCEEDED(m_hrHash))
            m_hrHash = m_hash.Add(slot.data, cb);
        ReleaseSemaphore(m_hFree.Get(), 1, nullptr);
        if (cb == 0)
            return;
    }
}
