#include "platform/x11_clipboard.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace ostravel {

namespace {

// Runs in the child: owns the selection until someone else takes it.
[[noreturn]] void serveClipboard(const std::string& text) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) _exit(0);
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    const Atom targets = XInternAtom(display, "TARGETS", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom textAtom = XInternAtom(display, "TEXT", False);
    XSetSelectionOwner(display, clipboard, window, CurrentTime);
    if (XGetSelectionOwner(display, clipboard) != window) _exit(0);

    for (;;) {
        XEvent event;
        XNextEvent(display, &event);  // an X server that goes away ends the process in Xlib
        if (event.type == SelectionClear) break;
        if (event.type != SelectionRequest) continue;
        const XSelectionRequestEvent& request = event.xselectionrequest;
        XSelectionEvent reply{};
        reply.type = SelectionNotify;
        reply.display = request.display;
        reply.requestor = request.requestor;
        reply.selection = request.selection;
        reply.target = request.target;
        reply.time = request.time;
        reply.property = request.property != None ? request.property : request.target;
        if (request.target == targets) {
            const Atom offered[] = {targets, utf8, XA_STRING, textAtom};
            XChangeProperty(display, request.requestor, reply.property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(offered), 4);
        } else if (request.target == utf8 || request.target == XA_STRING || request.target == textAtom) {
            const Atom type = request.target == XA_STRING ? XA_STRING : utf8;
            XChangeProperty(display, request.requestor, reply.property, type, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
        } else {
            reply.property = None;
        }
        XSendEvent(display, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
        XFlush(display);
    }
    XCloseDisplay(display);
    _exit(0);
}

}  // namespace

bool keepClipboardTextOnX11(const std::string& text) {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return false;
    // Check the display before promising anything.
    Display* probe = XOpenDisplay(nullptr);
    if (!probe) return false;
    XCloseDisplay(probe);

    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        // Detach: a grandchild serves, so that the program never waits for it and it never holds
        // the program's terminal or pipes open.
        setsid();
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0), dup2(null, 1), dup2(null, 2);
            if (null > 2) close(null);
        }
        if (fork() == 0) serveClipboard(text);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return true;
}

}  // namespace ostravel
