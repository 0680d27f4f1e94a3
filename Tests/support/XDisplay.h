// A private X display for window tests: Xvfb on a free display number with the
// openbox window manager (without one, focus follows the pointer and minimizing
// does nothing). Sets DISPLAY for this process; both servers end with the object.
#pragma once
#include <string>
#include <sys/types.h>

class CXDisplay
{
public:
    CXDisplay(int nWidth = 1024, int nHeight = 768);
    ~CXDisplay();
    CXDisplay(const CXDisplay&) = delete;
    CXDisplay& operator=(const CXDisplay&) = delete;

    bool Ok() const { return m_nDisplay >= 0; }
    const std::string& Name() const { return m_name; }  // ":N"
    // Saves a screenshot of the whole screen as PNG (ImageMagick's import).
    bool Screenshot(const std::string& path) const;

private:
    int m_nDisplay = -1;
    std::string m_name;
    pid_t m_xvfb = -1;
    pid_t m_wm = -1;
};
