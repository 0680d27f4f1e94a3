#include "Skins.h"

#include "AppPaths.h"
#include "Skin.h"

#include <string>

namespace
{
bool g_bSkinLoaded = false;
}

const char* SkinFileOf(int nSkinNumber)
{
    static const char* const FILES[] = {"/Skin/Pying/skin_pying.xml", "/Skin/Wguang/skin_wguang.xml",
                                        "/Skin/Zzhong/skin_zzhong.xml", "/Skin/Mmo/skin_mmo.xml"};
    return nSkinNumber >= 1 && nSkinNumber <= 4 ? FILES[nSkinNumber - 1] : "";
}

bool LoadSkin(int nSkinNumber)
{
    const std::string file = SkinFileOf(nSkinNumber);
    if (file.empty())
        return false;
    const std::string path = GetAppDir() + file;
    if (!SkinApply(path.c_str()))
        return false;
    g_bSkinLoaded = true;
    return true;
}

void ReleaseSkin()
{
    if (!g_bSkinLoaded)
        return;
    SkinRelease();
    g_bSkinLoaded = false;
}

bool IsSkinLoaded()
{
    return g_bSkinLoaded;
}
