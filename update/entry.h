// The updater's start-up, run and end.
#pragma once

#include <windows.h>

// Runs the whole program and returns its exit code.
int UpdaterMain(HINSTANCE hInstance);
