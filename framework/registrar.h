// The registry-script registrar. A script names keys below root keys, with
// default and named values, in nested braces:
//
//   HKCR
//   {
//       NoRemove AppID
//       {
//           {8C31E6CF-...} = s 'Update'
//           'Update.EXE' { val AppID = s {8C31E6CF-...} }
//       }
//   }
//
// Registering creates every key and value; ForceRemove first deletes a key
// with everything below it. Unregistering removes what the script names,
// leaves NoRemove keys in place, and keeps a key that still has subkeys the
// script does not name. The whole script is read before the registry is
// touched, so a malformed script changes nothing.
#pragma once

#include <windows.h>

#include <string>

namespace fw {

class CRegistrar
{
public:
    HRESULT UpdateRegistry(const std::string& script, bool bRegister);

private:
    HRESULT Apply(const std::string& script, bool bRegister);
};

} // namespace fw
