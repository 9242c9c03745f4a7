// ostravel-clipboard: keeps the show's clipboard text on X11 after the show has ended.
//
// An X11 selection lives only as long as its owner, so someone must stay behind to answer for
// the text. This is that someone: a program of its own, built from this file and Xlib alone, so
// that nothing of the show lives on in it (its libraries and their exit handlers and threads,
// its open files, its memory). The show starts it (x11_clipboard.cpp) beside its own binary.
//
// Channel: descriptor 3, a stream socket to the show. The keeper reads the text up to the end of
// the stream, takes CLIPBOARD, writes the one byte 'k' back once it owns it and closes the
// socket. Standard input, output and error are /dev/null; every other descriptor is closed.
//
// It then answers requests for the text (UTF8_STRING, STRING, TEXT, TARGETS) and ends, by itself:
// - when another client takes the clipboard (SelectionClear), status 0;
// - when its X server goes away: the I/O error handler calls _exit, status 0;
// - on SIGTERM or SIGHUP (their default action).
// Status 1: no text, no display, or the clipboard could not be taken (the show sees the socket
// close without the byte).
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

enum { kChannel = 3 };
static const char kOwned = 'k';

// Xlib's default handler calls exit(); _exit leaves at once, whatever exit handlers exist.
static int leaveWithServer(Display* display) {
    (void)display;
    _exit(0);
}

// A requestor that went away while we answered gives BadWindow; Xlib's default handler would end
// the keeper over it and the text would be lost for everyone else.
static int ignoreRequestError(Display* display, XErrorEvent* error) {
    (void)display;
    (void)error;
    return 0;
}

// The whole stream from the show; NULL on a read error or no memory.
static char* readText(int from, size_t* length) {
    size_t size = 0;
    size_t capacity = 4096;
    char* text = malloc(capacity);
    while (text) {
        if (size == capacity) {
            char* grown = realloc(text, capacity * 2);
            if (!grown) break;
            text = grown;
            capacity *= 2;
        }
        const ssize_t got = read(from, text + size, capacity - size);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        if (got == 0) {
            *length = size;
            return text;
        }
        size += (size_t)got;
    }
    free(text);
    return NULL;
}

static void answer(Display* display, const XSelectionRequestEvent* request, const char* text, size_t length) {
    const Atom targets = XInternAtom(display, "TARGETS", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom textAtom = XInternAtom(display, "TEXT", False);
    XSelectionEvent reply = {0};
    reply.type = SelectionNotify;
    reply.display = request->display;
    reply.requestor = request->requestor;
    reply.selection = request->selection;
    reply.target = request->target;
    reply.time = request->time;
    // A requestor of the obsolete kind names no property: the target stands in for it.
    reply.property = request->property != None ? request->property : request->target;
    if (request->target == targets) {
        const Atom offered[] = {targets, utf8, XA_STRING, textAtom};
        XChangeProperty(display, request->requestor, reply.property, XA_ATOM, 32, PropModeReplace,
                        (const unsigned char*)offered, 4);
    } else if (request->target == utf8 || request->target == XA_STRING || request->target == textAtom) {
        const Atom type = request->target == XA_STRING ? XA_STRING : utf8;
        XChangeProperty(display, request->requestor, reply.property, type, 8, PropModeReplace,
                        (const unsigned char*)text, (int)length);
    } else {
        reply.property = None;
    }
    XSendEvent(display, request->requestor, False, NoEventMask, (XEvent*)&reply);
    XFlush(display);
}

int main(void) {
    // Whoever started it, it holds nothing but its channel and its X connection.
    close_range(kChannel + 1, ~0U, 0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, NULL);
    signal(SIGTERM, SIG_DFL);
    signal(SIGHUP, SIG_DFL);

    size_t length = 0;
    char* text = readText(kChannel, &length);
    if (!text) return 1;

    XSetIOErrorHandler(leaveWithServer);
    XSetErrorHandler(ignoreRequestError);
    Display* display = XOpenDisplay(NULL);
    if (!display) return 1;
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    XSetSelectionOwner(display, clipboard, window, CurrentTime);
    if (XGetSelectionOwner(display, clipboard) != window) return 1;
    // The show may have stopped waiting: the text is still served, so a lost reply is no failure.
    send(kChannel, &kOwned, 1, MSG_NOSIGNAL);
    close(kChannel);

    const int connection = ConnectionNumber(display);
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == SelectionClear) return 0;
            if (event.type == SelectionRequest) answer(display, &event.xselectionrequest, text, length);
        }
        // Waiting here rather than in XNextEvent: a server that goes away wakes the poll with a
        // hang-up (or, half-closed, with the end of the stream, which the next XPending reads
        // and hands to leaveWithServer).
        struct pollfd wait = {.fd = connection, .events = POLLIN};
        if (poll(&wait, 1, -1) < 0 && errno != EINTR) return 1;
        if ((wait.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) _exit(0);
    }
}
