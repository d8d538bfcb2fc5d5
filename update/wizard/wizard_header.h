// The header band at the top of every wizard page, in the manner of Windows
// wizards: on the window colour, a bold title and one line under it, the
// product icon at the right and an etched line below. The control's text is
// the title, a line feed and the line under it; its font is the dialog's,
// made bold for the title.
#pragma once

#include <windows.h>

constexpr char kWizardHeaderClass[] = "ZspWizardHeader";

// Registers the control's window class for the whole process, so that the
// page templates of the resource library can name it; true when it is
// registered (also when it was already).
bool RegisterWizardHeaderClass();

// Where the header draws its parts, in client pixels, and how much room its
// texts need: the title on one line, the line under it wrapped at its width.
struct WizardHeaderLayout
{
    RECT rcTitle;
    RECT rcSubtitle;
    RECT rcIcon;
    int cxTitleNeeded;
    int cySubtitleNeeded;
};

// Lays out the header control hWnd as it is now (size, font, text).
bool LayOutWizardHeader(HWND hWnd, WizardHeaderLayout& layout);
