// What every page of the wizard shares in how it looks and takes the
// keyboard: icons drawn from the size that fits at the present DPI, and the
// focus on the step the page offers.
#pragma once

#include <windows.h>

#include "framework/handles.h"

// The largest of the sizes that icons are drawn in (16, 20, 24, 32, 40, 48,
// 64, 96, 128, 256 pixels) that is no larger than cxAvailable; 16 when even
// that does not fit.
int FittingIconSize(int cxAvailable);

// The icon in the size that fits a square of cxAvailable pixels. hInstance
// null loads one of the system's icons (OIC_INFORMATION, OIC_WARNING).
fw::CIconHandle LoadFittingIcon(HINSTANCE hInstance, LPCSTR pszIcon, int cxAvailable);

// Puts the keyboard focus on the dialog's default button or, when no enabled
// button is the default, on the first enabled one of those given (without
// making it the default).
void FocusDefaultButton(HWND hDialog, const int* pButtonIds, int cButtons);
