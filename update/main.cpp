#include <windows.h>

#include "update/entry.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    return UpdaterMain(hInstance);
}
