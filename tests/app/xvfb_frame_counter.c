/* Counts the distinct pictures a window shows in a rectangle, as the X
 * server sees them: every damage report on the window is answered by
 * reading the rectangle back, and a picture unlike the last one counts.
 *   xvfb_frame_counter WINDOW X Y WIDTH HEIGHT [TIMEOUT_S [QUIET_MS]]
 * Prints "ready" once it listens.  Ends QUIET_MS (default 2000) after the
 * last new picture, once one was seen, or TIMEOUT_S (default 60) after it
 * began, and then prints "FRAMES HELD MS": the new pictures, those of them
 * that stayed at least 5 ms (a 60 Hz screen would show each of those, where
 * a burst of pictures shows only its last), and the milliseconds from the
 * first to the last.  Exits 2 on bad arguments or no display. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static int x_failed;

/* A window that goes away mid-read is a failed read, not the end. */
static int note_error(Display* d, XErrorEvent* e)
{
  (void)d;
  (void)e;
  x_failed = 1;
  return 0;
}

static double now_ms(void)
{
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

/* FNV-1a over the rectangle's rows; 0 when it cannot be read. */
static uint64_t picture(Display* d, Window w, int x, int y, unsigned wd, unsigned ht)
{
  x_failed = 0;
  XImage* im = XGetImage(d, w, x, y, wd, ht, AllPlanes, ZPixmap);
  if (!im || x_failed) {
    if (im) XDestroyImage(im);
    return 0;
  }
  const size_t row = (size_t)wd * (size_t)im->bits_per_pixel / 8;
  uint64_t h = 1469598103934665603ull;
  for (unsigned j = 0; j < ht; ++j) {
    const unsigned char* p = (const unsigned char*)im->data + (size_t)j * (size_t)im->bytes_per_line;
    for (size_t i = 0; i < row; ++i) {
      h ^= p[i];
      h *= 1099511628211ull;
    }
  }
  XDestroyImage(im);
  return h ? h : 1;
}

static long number(const char* s, long lo, long hi, int* bad)
{
  char* end = NULL;
  const long v = strtol(s, &end, 0);
  if (end == s || *end || v < lo || v > hi) *bad = 1;
  return v;
}

int main(int argc, char** argv)
{
  if (argc < 6 || argc > 8) {
    fprintf(stderr, "usage: %s WINDOW X Y WIDTH HEIGHT [TIMEOUT_S [QUIET_MS]]\n", argv[0]);
    return 2;
  }
  int bad = 0;
  const Window w = (Window)number(argv[1], 1, 0x7fffffffL, &bad);
  const int x = (int)number(argv[2], 0, 32767, &bad), y = (int)number(argv[3], 0, 32767, &bad);
  const unsigned wd = (unsigned)number(argv[4], 1, 32767, &bad), ht = (unsigned)number(argv[5], 1, 32767, &bad);
  const double timeout = 1e3 * (argc > 6 ? number(argv[6], 1, 3600, &bad) : 60);
  const double quiet = argc > 7 ? number(argv[7], 1, 600000, &bad) : 2000;
  if (bad) {
    fprintf(stderr, "%s: the window and the rectangle are whole numbers, the times positive\n", argv[0]);
    return 2;
  }
  Display* d = XOpenDisplay(NULL);
  if (!d) {
    fprintf(stderr, "%s: cannot open the display\n", argv[0]);
    return 2;
  }
  XSetErrorHandler(note_error);
  int event_base = 0, error_base = 0;
  if (!XDamageQueryExtension(d, &event_base, &error_base)) {
    fprintf(stderr, "%s: the display has no DAMAGE extension\n", argv[0]);
    return 2;
  }
  /* One report each time the damage goes from none to some; subtracting
   * it before reading asks for the next. */
  const Damage damage = XDamageCreate(d, w, XDamageReportNonEmpty);
  uint64_t last = picture(d, w, x, y, wd, ht);
  XSync(d, False);
  if (x_failed || !last) {
    fprintf(stderr, "%s: cannot read %ux%u at %d,%d of window 0x%lx\n", argv[0], wd, ht, x, y, (unsigned long)w);
    return 2;
  }
  printf("ready\n");
  fflush(stdout);

  const double start = now_ms();
  double first = 0, latest = 0;
  long frames = 0, held = 0;
  const double hold = 5;
  for (;;) {
    double until = start + timeout;
    if (frames && latest + quiet < until) until = latest + quiet;
    const double t = now_ms();
    if (t >= until) break;
    if (!XPending(d)) {
      struct pollfd p = {ConnectionNumber(d), POLLIN, 0};
      poll(&p, 1, (int)(until - t) + 1);
      continue;
    }
    XEvent e;
    XNextEvent(d, &e);
    if (e.type != event_base + XDamageNotify) continue;
    XDamageSubtract(d, damage, None, None);
    const uint64_t h = picture(d, w, x, y, wd, ht);
    if (!h || h == last) continue;
    last = h;
    const double seen = now_ms();
    if (frames && seen - latest >= hold) ++held;
    latest = seen;
    if (!frames++) first = latest;
  }
  /* The last picture stays. */
  printf("%ld %ld %.0f\n", frames, frames ? held + 1 : 0, frames ? latest - first : 0.0);
  XCloseDisplay(d);
  return 0;
}
