#include <QApplication>
#include <app/tessaly.h>

int main(int argc, char** argv)
{
  // Qt takes its own command-line options; tessaly reads none.
  QApplication app(argc, argv);
  tessaly window(nullptr, nullptr);
  window.setGeometry(100, 100, 300, 300);
  // The last window closing ends the loop, as Quit does.
  window.show();
  return app.exec();
}
