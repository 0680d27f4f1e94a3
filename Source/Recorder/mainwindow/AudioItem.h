// The record of one recording, and the records of the recordings list in row
// order with the row the main window's commands act on. No windows here: the
// list control shows these rows.
//
// Threads: main thread only. The waveform view keeps copies of its own.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

enum
{
    AUDIO_STATE_RECORDING = 5,
    AUDIO_STATE_RECORDED = 6,
    AUDIO_STATE_NEWNAME = 16,
};

struct AudioItem
{
    char szPath[256] = {};
    char szName[64] = {};
    uint32_t nLength = 0;  // milliseconds
    uint32_t nSize = 0;    // bytes on disk
    uint32_t nSampleRate = 0;
    uint32_t nChannels = 0;
    uint32_t nBitrate = 0;  // bits per second
    uint32_t nBitsPerSample = 0;
    int32_t nIndex = 0;
    uint32_t nState = 0;
    bool bPaused = false;  // a recording's row while its recording is paused
    uint32_t nClipped = 0;  // samples (of every channel) that reached full scale while recording

    // Sets szPath, cutting it to the field's size.
    void SetPath(const char* pszPath);
    // Takes szName from szPath: the part after the last separator, when the path has
    // at least 5 characters and a separator; otherwise szName stays as it was. A
    // name longer than the field is cut, never written past it.
    void DeriveName();
    // Copies the six information fields (length, size, rate, channels, bitrate, bits).
    void CopyInfoFrom(const AudioItem& other);
};

// The owned records of the list, one per row, each knowing its row in nIndex.
class CAudioItemArray
{
public:
    // Appends the record, taking ownership; it becomes the current row.
    int Append(AudioItem* pItem);
    // Frees the record of that row and renumbers the rest. False when no record has it.
    bool Remove(int nRow);
    void Clear();

    int Count() const { return static_cast<int>(m_items.size()); }
    // The record whose nIndex is nRow; none outside 0 .. Count() - 1.
    AudioItem* Get(int nRow) const;
    AudioItem* FindRecording() const;
    // Copies the information fields into the first record (in row order) with that exact path.
    void UpdateInfo(const AudioItem& item);

    // The current row, or -1. nRowsShown is the control's row count: with no rows
    // there is no current row, whatever was current before.
    int CurrentRow(int nRowsShown);
    void SetCurrentRow(int nRow) { m_nCurrent = nRow; }

private:
    std::vector<std::unique_ptr<AudioItem>> m_items;
    int m_nCurrent = -1;
};
