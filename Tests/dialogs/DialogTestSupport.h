// Modal dialog tests: the main thread runs the modal loop while a user thread plays the user.
#pragma once
#include "DlgMsgbx.h"
#include "UiTestSupport.h"

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/frame.h>

#include <gtest/gtest.h>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>

// Runs the dialog modally while the user thread drives it.
int RunModal(wxDialog& dialog, const std::function<void()>& user);

// From the user thread: runs the call on the main thread.
template <class F>
auto OnMain(F call) -> decltype(call())
{
    using Result = decltype(call());
    auto pPromise = std::make_shared<std::promise<Result>>();
    auto future = pPromise->get_future();
    wxTheApp->CallAfter([pPromise, call]() { pPromise->set_value(call()); });
    if (future.wait_for(std::chrono::seconds(20)) != std::future_status::ready)
    {
        ADD_FAILURE() << "the main thread did not answer";
        return Result();
    }
    return future.get();
}

bool WaitOnMain(const std::function<bool()>& condition, int nTimeoutMs = 20000);

wxDialog* ActiveDialog();
wxRect ScreenRect(wxWindow* pWindow);
int DarkPixels(const wxRect& screen);
// From the user thread: the text of the message box once it is up.
std::string WaitForMessageBox();
bool WaitUntilActiveAndPainted(wxWindow* pDialog, wxWindow* pPainted);
bool PressKeys(const std::string& keys);
bool WaitUntilActive(wxWindow* pDialog);

// The active owner window of the dialogs, with no sound server.
wxFrame* ShowOwnerFrame(const wxSize& size = wxSize(500, 300));
