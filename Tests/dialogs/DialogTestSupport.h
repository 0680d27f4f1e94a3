// Window tests of the modal dialogs: the test runs the dialog's modal loop on
// the main thread while a user thread plays the user (xdotool keys and clicks,
// screen pixels) and asks the main thread about the windows.
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

// Runs the dialog modally while the user thread drives it; returns the dialog's result.
// A safety timer ends a modal loop the user never closes (the test then fails).
int RunModal(wxDialog& dialog, const std::function<void()>& user);

// From the user thread: runs the call on the main thread, inside whatever modal loop runs there.
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

// From the user thread: waits until the condition, asked on the main thread, holds.
bool WaitOnMain(const std::function<bool()>& condition, int nTimeoutMs = 20000);

// The dialog that has the focus now (main thread).
wxDialog* ActiveDialog();
// The screen rectangle of a window (main thread).
wxRect ScreenRect(wxWindow* pWindow);
// How many pixels of the screen rectangle are text-dark; safe from any thread.
int DarkPixels(const wxRect& screen);

// From the user thread: waits until a message box of ours is active with its text
// drawn, and returns its text (empty when none came).
std::string WaitForMessageBox();
// From the user thread: waits until the dialog is active and the window painted.
bool WaitUntilActiveAndPainted(wxWindow* pDialog, wxWindow* pPainted);
// Presses keys with xdotool ("Return", "Escape", "ctrl+a").
bool PressKeys(const std::string& keys);
// The message box is gone and the dialog below has the focus again.
bool WaitUntilActive(wxWindow* pDialog);

// The owner window every dialog test opens its dialogs over, shown and active, with the mouse
// out of the way and no sound server unless a test brings one. Null when it never became active.
wxFrame* ShowOwnerFrame(const wxSize& size = wxSize(500, 300));
