#include "editor/lockkeys.h"

#include <QGuiApplication>

#if defined(QUOREL_HAVE_X11) && QT_CONFIG(xcb)
#include <X11/XKBlib.h>

namespace {
bool indicator(Display *display, const char *name)
{
    int on = 0;
    const Atom atom = XInternAtom(display, name, True);
    if (atom == None)
        return false;
    if (!XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr))
        return false;
    return on != 0;
}
} // namespace
#endif

std::optional<LockKeyState> readLockKeys()
{
#if defined(QUOREL_HAVE_X11) && QT_CONFIG(xcb)
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return std::nullopt;
    Display *display = x11->display();
    LockKeyState state;
    state.caps = indicator(display, "Caps Lock");
    state.num = indicator(display, "Num Lock");
    state.scroll = indicator(display, "Scroll Lock");
    return state;
#else
    return std::nullopt;
#endif
}
