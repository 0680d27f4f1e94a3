#include "MessageBox.h"

#include <cstdio>
#include <mutex>

namespace
{
std::mutex g_handlerMutex;
MessageBoxHandler g_handler;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    std::lock_guard<std::mutex> lock(g_handlerMutex);
    std::swap(g_handler, handler);
    return handler;
}

int MessageBoxA(HWND hWnd, const char* lpText, const char* lpCaption, UINT uType)
{
    MessageBoxRequest request{hWnd, lpText ? lpText : "", lpCaption ? lpCaption : "", uType};
    MessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_handlerMutex);
        handler = g_handler;
    }
    if (handler)
        return handler(request);
    std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
    return IDOK;
}

void ShowAppError(const char* text)
{
    MessageBoxA(nullptr, text, APP_CAPTION, MB_ICONHAND);
}
