#include "WindowSystem.h"

#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <csignal>
#include <initializer_list>
#include <gtk/gtk.h>
#include <X11/Xutil.h>

namespace
{
struct PaintHook
{
    NativePaintHandler handler;
    void* pUser;
};

struct KeyHook
{
    PopupKeyHandler handler;
    void* pUser;
};

gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data)
{
    auto* pHook = static_cast<PaintHook*>(data);
    pHook->handler(pHook->pUser, cr);
    // Ours replaces the theme's drawing.
    return TRUE;
}

gboolean OnKey(GtkWidget*, GdkEventKey* pKey, gpointer data)
{
    auto* pHook = static_cast<KeyHook*>(data);
    PopupKey key = PopupKey::Other;
    switch (pKey->keyval)
    {
    case GDK_KEY_Up:
    case GDK_KEY_KP_Up:
        key = PopupKey::Up;
        break;
    case GDK_KEY_Down:
    case GDK_KEY_KP_Down:
        key = PopupKey::Down;
        break;
    case GDK_KEY_Home:
        key = PopupKey::Home;
        break;
    case GDK_KEY_End:
        key = PopupKey::End;
        break;
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter:
        key = PopupKey::Enter;
        break;
    case GDK_KEY_Escape:
        key = PopupKey::Escape;
        break;
    default:
        break;
    }
    pHook->handler(pHook->pUser, key, key == PopupKey::Other ? gdk_keyval_to_unicode(pKey->keyval) : 0);
    return TRUE;
}

struct EndSignalHook
{
    EndSignalHandler handler;
    void* pUser;
};

gboolean OnEndSignal(gpointer data)
{
    auto* pHook = static_cast<EndSignalHook*>(data);
    pHook->handler(pHook->pUser);
    // Every later signal comes here too, so none can kill the program while it closes.
    return G_SOURCE_CONTINUE;
}

template <typename T>
void FreeHook(gpointer data, GClosure*)
{
    delete static_cast<T*>(data);
}
}  // namespace

void SetApplicationId(const char* pszId)
{
    // GTK 3 takes the Wayland app id from the program name, which it would otherwise take from argv[0].
    g_set_prgname(pszId);
}

void SetNativeWindowClass(void* pWidget, const char* pszClass)
{
    auto* pWindow = static_cast<GtkWidget*>(pWidget);
    if (!pWindow || !GTK_IS_WINDOW(pWindow))
        return;
    GdkWindow* pGdk = gtk_widget_get_window(pWindow);
    if (!pGdk)
    {
        // Deprecated in GTK, yet the only way to set it before the window is realized.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        gtk_window_set_wmclass(GTK_WINDOW(pWindow), pszClass, pszClass);
#pragma GCC diagnostic pop
        return;
    }
    if (!GDK_IS_X11_WINDOW(pGdk))
        return;
    XClassHint hint;
    hint.res_name = const_cast<char*>(pszClass);
    hint.res_class = const_cast<char*>(pszClass);
    XSetClassHint(GDK_WINDOW_XDISPLAY(pGdk), GDK_WINDOW_XID(pGdk), &hint);
}

void PresentNativeWindow(void* pWidget, const char* pszStartupId)
{
    auto* pWindow = static_cast<GtkWidget*>(pWidget);
    if (!pWindow || !GTK_IS_WINDOW(pWindow))
        return;
    // With the token GTK activates the window through xdg-activation (Wayland) or with the
    // start's timestamp (X11); without it a compositor may only mark the window as wanting attention.
    if (pszStartupId && *pszStartupId)
        gtk_window_set_startup_id(GTK_WINDOW(pWindow), pszStartupId);
    gtk_window_present(GTK_WINDOW(pWindow));
}

void HandleEndSignals(EndSignalHandler handler, void* pUser)
{
    // GLib notes the signal in its own handler and dispatches it from the main context,
    // which every loop of the toolkit runs.
    static EndSignalHook hook;
    hook = {handler, pUser};
    for (int nSignal : {SIGTERM, SIGHUP, SIGINT})
        g_unix_signal_add(nSignal, &OnEndSignal, &hook);
}

int NaturalHeight(void* pWidget)
{
    int nMinimum = 0, nNatural = 0;
    if (pWidget)
        gtk_widget_get_preferred_height(static_cast<GtkWidget*>(pWidget), &nMinimum, &nNatural);
    return nNatural;
}

bool IsNativePressed(void* pWidget)
{
    return pWidget && (gtk_widget_get_state_flags(static_cast<GtkWidget*>(pWidget)) & GTK_STATE_FLAG_ACTIVE) != 0;
}

void NativeSize(void* pWidget, int& nWidth, int& nHeight)
{
    nWidth = pWidget ? gtk_widget_get_allocated_width(static_cast<GtkWidget*>(pWidget)) : 0;
    nHeight = pWidget ? gtk_widget_get_allocated_height(static_cast<GtkWidget*>(pWidget)) : 0;
}

bool MnemonicsVisible(void* pWidget)
{
    if (!pWidget)
        return false;
    GtkWidget* pTop = gtk_widget_get_toplevel(static_cast<GtkWidget*>(pWidget));
    return GTK_IS_WINDOW(pTop) && gtk_window_get_mnemonics_visible(GTK_WINDOW(pTop));
}

void ReplaceNativePaint(void* pWidget, NativePaintHandler handler, void* pUser)
{
    if (pWidget)
        g_signal_connect_data(pWidget, "draw", G_CALLBACK(OnDraw), new PaintHook{handler, pUser},
                              &FreeHook<PaintHook>, GConnectFlags(0));
}

void HookPopupKeys(void* pWidget, PopupKeyHandler handler, void* pUser)
{
    if (pWidget)
        g_signal_connect_data(pWidget, "key-press-event", G_CALLBACK(OnKey), new KeyHook{handler, pUser},
                              &FreeHook<KeyHook>, GConnectFlags(0));
}

void SetAccessibleText(void* pWidget, AccessibleRole role, const char* pszName, const char* pszDescription)
{
    auto* pControl = static_cast<GtkWidget*>(pWidget);
    if (!pControl || !GTK_IS_WIDGET(pControl))
        return;
    AtkObject* pAccessible = gtk_widget_get_accessible(pControl);
    if (!pAccessible)
        return;
    // In the order of AccessibleRole.
    static const AtkRole kRoles[] = {ATK_ROLE_PANEL, ATK_ROLE_PUSH_BUTTON, ATK_ROLE_LABEL,    ATK_ROLE_LINK,
                                     ATK_ROLE_LIST,  ATK_ROLE_TABLE,       ATK_ROLE_MENU,     ATK_ROLE_MENU_ITEM};
    const AtkRole atkRole = kRoles[static_cast<int>(role)];
    if (atk_object_get_role(pAccessible) != atkRole)
        atk_object_set_role(pAccessible, atkRole);
    // ATK announces every set, so an unchanged text is not set again.
    const char* pszOldName = atk_object_get_name(pAccessible);
    if (pszName && (!pszOldName || g_strcmp0(pszOldName, pszName) != 0))
        atk_object_set_name(pAccessible, pszName);
    const char* pszOldDescription = atk_object_get_description(pAccessible);
    if (pszDescription && (!pszOldDescription || g_strcmp0(pszOldDescription, pszDescription) != 0))
        atk_object_set_description(pAccessible, pszDescription);
}
