// The program's icon, drawn in code: a red record button over a yellow trace on
// a dark rounded square (the same picture as res/desktop/vorane-recorder.svg).
#pragma once
#include <wx/icon.h>

wxIcon MakeAppIcon(int nSize);
