// Nothing thrown may cross back into the platform through a COM method, as
// nothing may cross a window procedure: a method whose body can throw (an
// allocation, a call into page code) runs inside ComGuard.
#pragma once

#include <windows.h>

#include <new>

namespace fw {

// Runs body, which returns an HRESULT; an exhausted heap answers
// E_OUTOFMEMORY, anything else thrown E_UNEXPECTED.
template <typename Body>
HRESULT ComGuard(Body&& body) noexcept
{
    try
    {
        return body();
    }
    catch (const std::bad_alloc&)
    {
        return E_OUTOFMEMORY;
    }
    catch (...)
    {
        return E_UNEXPECTED;
    }
}

} // namespace fw
