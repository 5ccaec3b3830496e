/* A minimal X11 drag-and-drop source for the end-to-end tests: drops files on a window as
 * a file manager would.
 *
 *   xdnd_drop WINDOW_ID X Y PATH...
 *
 * WINDOW_ID: the target X window (decimal or 0x hex); when it does not carry XdndAware,
 * the XdndAware window under (X, Y) is used. X, Y: the drop point in root coordinates
 * (the pointer should already stand there: programs may look at it themselves).
 * PATH: absolute Unix paths, sent as percent-encoded file:// URIs, CRLF separated.
 *
 * Sequence: own XdndSelection, XdndEnter (version 5, text/uri-list), XdndPosition with
 * XdndActionCopy, wait for XdndStatus, XdndDrop, answer the selection requests, wait for
 * XdndFinished. Exit 0 when the target finished; 2 for bad arguments or no display,
 * 3 on a timeout, 4 when the target refused the drop.
 */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <time.h>

#define STATUS_TIMEOUT_MS 5000
#define FINISHED_TIMEOUT_MS 10000

static Display *dpy;
static Window source;
static Atom a_aware, a_enter, a_position, a_status, a_drop, a_finished, a_leave, a_selection, a_copy,
    a_uri_list, a_targets, a_atom;
static char *uri_data;
static size_t uri_len;

static long now_ms(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000L + ts.tv_nsec / 1000000L;
}

static void append(const char *bytes, size_t n) {
  char *grown = realloc(uri_data, uri_len + n + 1);
  if (!grown) {
    fprintf(stderr, "xdnd_drop: out of memory\n");
    exit(2);
  }
  uri_data = grown;
  memcpy(uri_data + uri_len, bytes, n);
  uri_len += n;
  uri_data[uri_len] = '\0';
}

/* file:// plus the path, every byte outside the unreserved set and '/' as %XX. */
static void append_uri(const char *path) {
  static const char hex[] = "0123456789ABCDEF";
  append("file://", 7);
  for (const unsigned char *p = (const unsigned char *)path; *p; ++p) {
    const int plain = (*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z') || (*p >= '0' && *p <= '9') ||
                      *p == '-' || *p == '.' || *p == '_' || *p == '~' || *p == '/';
    if (plain) {
      append((const char *)p, 1);
    } else {
      const char esc[3] = {'%', hex[*p >> 4], hex[*p & 15]};
      append(esc, 3);
    }
  }
  append("\r\n", 2);
}

static int has_aware(Window w) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char *data = NULL;
  if (XGetWindowProperty(dpy, w, a_aware, 0, 1, False, AnyPropertyType, &type, &format, &count, &after, &data) !=
      Success)
    return 0;
  const int found = type != None && count > 0;
  if (data) XFree(data);
  return found;
}

/* The deepest XdndAware window under (x, y), or None. */
static Window aware_under(int x, int y) {
  Window root = DefaultRootWindow(dpy), from = root, child = None, found = None;
  int cx, cy;
  while (XTranslateCoordinates(dpy, root, from, x, y, &cx, &cy, &child) && child != None) {
    if (has_aware(child)) found = child;
    from = child;
  }
  return found;
}

static void send_client(Window target, Atom type, long l0, long l1, long l2, long l3, long l4) {
  XEvent e;
  memset(&e, 0, sizeof e);
  e.xclient.type = ClientMessage;
  e.xclient.display = dpy;
  e.xclient.window = target;
  e.xclient.message_type = type;
  e.xclient.format = 32;
  e.xclient.data.l[0] = l0;
  e.xclient.data.l[1] = l1;
  e.xclient.data.l[2] = l2;
  e.xclient.data.l[3] = l3;
  e.xclient.data.l[4] = l4;
  XSendEvent(dpy, target, False, NoEventMask, &e);
  XFlush(dpy);
}

static void answer_request(const XSelectionRequestEvent *r) {
  XEvent reply;
  memset(&reply, 0, sizeof reply);
  reply.xselection.type = SelectionNotify;
  reply.xselection.display = dpy;
  reply.xselection.requestor = r->requestor;
  reply.xselection.selection = r->selection;
  reply.xselection.target = r->target;
  reply.xselection.time = r->time;
  reply.xselection.property = None;
  const Atom property = r->property != None ? r->property : r->target;
  if (r->selection == a_selection && r->target == a_uri_list) {
    XChangeProperty(dpy, r->requestor, property, a_uri_list, 8, PropModeReplace, (unsigned char *)uri_data,
                    (int)uri_len);
    reply.xselection.property = property;
  } else if (r->selection == a_selection && r->target == a_targets) {
    Atom list[2] = {a_targets, a_uri_list};
    XChangeProperty(dpy, r->requestor, property, a_atom, 32, PropModeReplace, (unsigned char *)list, 2);
    reply.xselection.property = property;
  }
  XSendEvent(dpy, r->requestor, False, NoEventMask, &reply);
  XFlush(dpy);
}

/* Waits for the next event up to deadline (monotonic ms); 0 on timeout. */
static int next_event(XEvent *e, long deadline) {
  const int fd = ConnectionNumber(dpy);
  for (;;) {
    if (XPending(dpy)) {
      XNextEvent(dpy, e);
      return 1;
    }
    const long left = deadline - now_ms();
    if (left <= 0) return 0;
    fd_set fds;
    FD_ZERO(&fds);
    FD_SET(fd, &fds);
    struct timeval tv = {left / 1000, (left % 1000) * 1000};
    if (select(fd + 1, &fds, NULL, NULL, &tv) < 0 && errno != EINTR) return 0;
  }
}

/* A server time stamp, from a property change on our own window. */
static Time server_time(void) {
  XEvent e;
  unsigned char byte = 0;
  XChangeProperty(dpy, source, XA_WM_NAME, XA_STRING, 8, PropModeAppend, &byte, 0);
  XFlush(dpy);
  const long deadline = now_ms() + 2000;
  while (next_event(&e, deadline)) {
    if (e.type == PropertyNotify && e.xproperty.window == source) return e.xproperty.time;
  }
  return CurrentTime;
}

int main(int argc, char **argv) {
  if (argc < 5) {
    fprintf(stderr, "usage: xdnd_drop WINDOW_ID X Y PATH...\n");
    return 2;
  }
  Window target = (Window)strtoul(argv[1], NULL, 0);
  const int x = atoi(argv[2]), y = atoi(argv[3]);
  for (int i = 4; i < argc; ++i) {
    if (argv[i][0] != '/') {
      fprintf(stderr, "xdnd_drop: %s is not an absolute path\n", argv[i]);
      return 2;
    }
    append_uri(argv[i]);
  }

  dpy = XOpenDisplay(NULL);
  if (!dpy) {
    fprintf(stderr, "xdnd_drop: cannot open the display\n");
    return 2;
  }
  a_aware = XInternAtom(dpy, "XdndAware", False);
  a_enter = XInternAtom(dpy, "XdndEnter", False);
  a_position = XInternAtom(dpy, "XdndPosition", False);
  a_status = XInternAtom(dpy, "XdndStatus", False);
  a_drop = XInternAtom(dpy, "XdndDrop", False);
  a_finished = XInternAtom(dpy, "XdndFinished", False);
  a_leave = XInternAtom(dpy, "XdndLeave", False);
  a_selection = XInternAtom(dpy, "XdndSelection", False);
  a_copy = XInternAtom(dpy, "XdndActionCopy", False);
  a_uri_list = XInternAtom(dpy, "text/uri-list", False);
  a_targets = XInternAtom(dpy, "TARGETS", False);
  a_atom = XA_ATOM;

  if (target == None || !has_aware(target)) {
    const Window under = aware_under(x, y);
    if (under == None) {
      fprintf(stderr, "xdnd_drop: no XdndAware window at %d,%d\n", x, y);
      XCloseDisplay(dpy);
      return 2;
    }
    target = under;
  }

  XSetWindowAttributes attrs;
  attrs.event_mask = PropertyChangeMask;
  source = XCreateWindow(dpy, DefaultRootWindow(dpy), -10, -10, 1, 1, 0, CopyFromParent, InputOnly, CopyFromParent,
                         CWEventMask, &attrs);
  const Time t = server_time();
  XSetSelectionOwner(dpy, a_selection, source, t);
  if (XGetSelectionOwner(dpy, a_selection) != source) {
    fprintf(stderr, "xdnd_drop: could not own XdndSelection\n");
    XCloseDisplay(dpy);
    return 2;
  }

  send_client(target, a_enter, (long)source, 5L << 24, (long)a_uri_list, None, None);
  send_client(target, a_position, (long)source, 0, ((long)x << 16) | (y & 0xFFFF), (long)t, (long)a_copy);

  int rc = 3;
  int dropped = 0;
  long deadline = now_ms() + STATUS_TIMEOUT_MS;
  XEvent e;
  for (;;) {
    if (!next_event(&e, deadline)) {
      fprintf(stderr, "xdnd_drop: timed out waiting for %s\n", dropped ? "XdndFinished" : "XdndStatus");
      if (!dropped) send_client(target, a_leave, (long)source, 0, 0, 0, 0);
      rc = 3;
      break;
    }
    if (e.type == SelectionRequest) {
      answer_request(&e.xselectionrequest);
    } else if (e.type == ClientMessage && e.xclient.message_type == a_status && !dropped) {
      if (!(e.xclient.data.l[1] & 1)) {
        fprintf(stderr, "xdnd_drop: the target refused the drop\n");
        send_client(target, a_leave, (long)source, 0, 0, 0, 0);
        rc = 4;
        break;
      }
      send_client(target, a_drop, (long)source, 0, (long)t, 0, 0);
      dropped = 1;
      deadline = now_ms() + FINISHED_TIMEOUT_MS;
    } else if (e.type == ClientMessage && e.xclient.message_type == a_finished && dropped) {
      rc = 0;
      break;
    }
  }
  /* Requests already queued (a target that reads the data late) still get their answer. */
  while (XPending(dpy)) {
    XNextEvent(dpy, &e);
    if (e.type == SelectionRequest) answer_request(&e.xselectionrequest);
  }
  XDestroyWindow(dpy, source);
  XCloseDisplay(dpy);
  free(uri_data);
  return rc;
}
