// Stand-in for what the Windows window manager and the common controls give a
// window directly, and GTK only through its own calls: a window's class (the
// WM_CLASS a window manager and a second instance find it by), bringing a
// window to the front, a control's natural height and pressed state, whether
// mnemonics show, drawing a button oneself, the keys of a popup that holds
// the pointer grab, and what a screen reader reads of a window the program draws
// itself (the name and role Windows' accessibility takes from a control's text
// and class; GTK's accessibility toolkit, ATK, needs them set). Handles are the toolkit's native widgets (wxWindow::GetHandle()).
//
// Threads: main (toolkit) thread only.
#pragma once
#include <cstdint>

// Before the toolkit starts: the name the desktop matches the program's windows to its desktop
// entry by under Wayland (the app id). X11 takes the class each window is given.
void SetApplicationId(const char* pszId);
// Gives a top-level window this class, before or after it is realized (X11 only; Wayland has the app id).
void SetNativeWindowClass(void* pWidget, const char* pszClass);
// Brings a top-level window to the front and gives it the focus, as the desktop allows. startupId:
// the activation token (Wayland) or startup id (X11) of the start that asked for it, which lets the
// desktop hand over the focus; may be null or empty.
void PresentNativeWindow(void* pWidget, const char* pszStartupId = nullptr);
// SIGTERM, SIGHUP and SIGINT (the end of the desktop session, a closed terminal, Ctrl+C) no longer
// end the program: each calls the handler from the toolkit's main loop, also in a dialog's loop.
using EndSignalHandler = void (*)(void* pUser);
void HandleEndSignals(EndSignalHandler handler, void* pUser);
// The height a control asks for at the current font; 0 when the toolkit does not say.
int NaturalHeight(void* pWidget);
// True while a button is held down (by the mouse or the keyboard).
bool IsNativePressed(void* pWidget);
// The size the toolkit gave the control.
void NativeSize(void* pWidget, int& nWidth, int& nHeight);
// True while the desktop underlines mnemonics in the control's window (Alt held).
bool MnemonicsVisible(void* pWidget);

// Paints a control instead of the toolkit's theme: the handler gets the drawing context
// (a cairo_t*) of every paint.
using NativePaintHandler = void (*)(void* pUser, void* pCairo);
void ReplaceNativePaint(void* pWidget, NativePaintHandler handler, void* pUser);

// The keys that reach a popup through its pointer grab, which the toolkit hands to no window.
enum class PopupKey
{
    Up,
    Down,
    Home,
    End,
    Enter,
    Escape,
    Other,  // nChar holds its character, 0 when it has none
};
using PopupKeyHandler = void (*)(void* pUser, PopupKey key, uint32_t nChar);
void HookPopupKeys(void* pWidget, PopupKeyHandler handler, void* pUser);

// What a screen reader announces a drawn window as.
enum class AccessibleRole
{
    Panel,
    PushButton,
    Label,
    Link,
    List,
    Table,
    Menu,
    MenuItem,
};
// Gives a window a role, a name and a description (UTF-8; the description may be null).
// Setting them again with other texts tells a listening screen reader of the change.
void SetAccessibleText(void* pWidget, AccessibleRole role, const char* pszName, const char* pszDescription);
