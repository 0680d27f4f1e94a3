// The program's skins by number: 1 "Pying", 2 "Wguang", 3 "Zzhong", 4 "Mmo"
// under the application directory's Skin folder; any other number is no skin.
//
// Threads: main thread only (skins change windows).
#pragma once

// Applies skin n to every window of the program, present and later. False, with
// no message and the plain look kept, when n names no skin or its file is
// missing or broken.
bool LoadSkin(int nSkinNumber);
// Gives the windows their plain look back, when a skin is applied.
void ReleaseSkin();
bool IsSkinLoaded();
// Where skin n lies under the application directory ("/Skin/Mmo/skin_mmo.xml" for 4); empty for another number.
const char* SkinFileOf(int nSkinNumber);
