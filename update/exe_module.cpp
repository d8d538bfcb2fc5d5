#include "update/exe_module.h"

CExeModule g_module;

CExeModule::CExeModule() : m_dwMainThreadId(0)
{
}
