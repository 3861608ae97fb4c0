#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <QApplication>
#include <app/tessaly.h>

namespace
{
const char* const usage =
  "Usage: tessaly [Qt options] [FILE]\n"
  "Try a basic active contour (snake) on an image.\n"
  "\n"
  "FILE, an image with 8-bit pixels, is loaded at start; without it tessaly\n"
  "shows its start image.\n"
  "\n"
  "  -h, --help     print this help and exit\n"
  "      --version  print the version and exit\n"
  "\n"
  "Qt's own options, such as -platform NAME and -display DISPLAY, work too.\n"
  "The mouse, the keys and the files tessaly reads and writes: man tessaly.\n";

// Prints text to standard output; false when it could not be written
// (a full disk, a closed pipe).
bool print(const char* text)
{
  if (std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0)
    return true;
  std::fprintf(stderr, "tessaly: cannot write to standard output\n");
  return false;
}
}  // namespace

int main(int argc, char** argv)
{
  // Answered before the toolkit starts, so that they need no display.
  for (int k = 1; k < argc && std::strcmp(argv[k], "--") != 0; ++k) {
    if (!std::strcmp(argv[k], "--help") || !std::strcmp(argv[k], "-h"))
      return print(usage) ? 0 : 1;
    if (!std::strcmp(argv[k], "--version"))
      return print("tessaly " TESSALY_VERSION "\n") ? 0 : 1;
  }

  // Qt takes its own options out of argv; what is left is tessaly's.
  QApplication app(argc, argv);
  std::vector<const char*> files;
  bool options_end = false;
  for (int k = 1; k < argc; ++k) {
    const char* a = argv[k];
    if (!options_end && !std::strcmp(a, "--")) {
      options_end = true;
    } else if (!options_end && a[0] == '-' && a[1] != '\0') {
      std::fprintf(stderr, "tessaly: unknown option %s (tessaly --help lists the options)\n", a);
      return 2;
    } else {
      files.push_back(a);
    }
  }
  if (files.size() > 1) {
    std::fprintf(stderr, "tessaly: one image at most, %zu given (tessaly --help)\n", files.size());
    return 2;
  }

  tessaly window(nullptr, nullptr);
  window.setGeometry(100, 100, 300, 300);
  // The last window closing ends the loop, as Quit does.
  window.show();
  // A file that cannot be used gets the load box over the start image.
  if (!files.empty())
    window.load_image(files[0]);
  return app.exec();
}
