// A recorded row of the recordings list, made by hand.
#pragma once
#include "AudioItem.h"

#include <string>

inline AudioItem* RecordedRow(const std::string& path)
{
    auto* pItem = new AudioItem;
    pItem->SetPath(path.c_str());
    pItem->DeriveName();
    pItem->nState = AUDIO_STATE_RECORDED;
    return pItem;
}
