// The program's icon, drawn in code: a red record button over a yellow trace on
// a dark rounded square (the same picture as res/desktop/vorane-recorder.svg).
#pragma once
#include <wx/icon.h>
#include <wx/iconbndl.h>

wxIcon MakeAppIcon(int nSize);
// The window icons, 16, 32 and 48 pixels, each also drawn for the screen's scale factor (2 on a
// desktop that doubles every window), so the window manager never has to enlarge a small one.
wxIconBundle MakeAppIcons(double dScale);
