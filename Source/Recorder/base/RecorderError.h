// The one way the engine fails: a CRecorderError whose what() is the text the user
// reads. The recording session turns it into the window's message box or the
// command-line recorder's line; nothing below compares texts.
//
// A failure that ends a running recording while its file keeps what was written
// (a full disk, a file-size limit) is made with Ended: it also carries the text
// for when the file turns out to hold no audio at all.
//
// Threads: any; thrown and caught on the thread that failed.
#pragma once
#include <stdexcept>
#include <string>

class CRecorderError : public std::runtime_error
{
public:
    explicit CRecorderError(const std::string& text) : std::runtime_error(text) {}

    // The recording can take no more: text when the file keeps what was written,
    // nothingKept when it holds nothing.
    static CRecorderError Ended(const std::string& text, const std::string& nothingKept)
    {
        CRecorderError error(text);
        error.m_bEnds = true;
        error.m_nothingKept = nothingKept;
        return error;
    }

    bool EndsRecording() const { return m_bEnds; }
    const std::string& NothingKept() const { return m_nothingKept; }

private:
    bool m_bEnds = false;
    std::string m_nothingKept;
};
