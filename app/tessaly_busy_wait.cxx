#include <app/tessaly_busy_wait.h>

#include <QApplication>
#include <QCursor>

tessaly_busy_wait::tessaly_busy_wait(std::chrono::milliseconds after)
  : deadline_(std::chrono::steady_clock::now() + after)
{
}

tessaly_busy_wait::~tessaly_busy_wait()
{
  if (shown_) QApplication::restoreOverrideCursor();
}

void tessaly_busy_wait::show()
{
  shown_ = true;
  QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}
