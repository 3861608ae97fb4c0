#ifndef tessaly_tests_support_dialog_closer_h_
#define tessaly_tests_support_dialog_closer_h_
// Closes every dialog that comes up while it lives, so that a modal box
// never blocks a test, and notes what each one showed.  A file dialog is
// answered with `choose` (cancelled when that is empty).
#include <vector>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

class dialog_closer
{
 public:
  explicit dialog_closer(const QString& choose = QString())
  {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this, choose] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* d = qobject_cast<QDialog*>(w);
        if (!d || !d->isVisible())
          continue;
        titles.push_back(d->windowTitle());
        auto* box = qobject_cast<QMessageBox*>(d);
        texts.push_back(box ? box->text() : QString());
        infos.push_back(box ? box->informativeText() : QString());
        parents.push_back(d->parentWidget());
        if (auto* fd = qobject_cast<QFileDialog*>(d)) {
          filters = fd->nameFilters();
          folders.push_back(fd->directory().absolutePath());
          // A dialog that will not take the name is cancelled after a
          // second, so the test fails instead of hanging.
          if (!choose.isEmpty() && ++answer_tries_ < 200) {
            // Typed as a user would: selectFile() leaves the name field
            // alone while it has the focus.
            fd->selectFile(choose);
            if (auto* name = fd->findChild<QLineEdit*>("fileNameEdit"))
              name->setText(choose);
            QMetaObject::invokeMethod(fd, "accept");
            continue;
          }
        }
        d->done(0);
      }
    });
    timer_.start();
  }

  QStringList titles;
  QStringList texts;
  // A message box's informative text, the reason it gives.
  QStringList infos;
  std::vector<QWidget*> parents;
  // The last file dialog's filters, and the folder each one started in.
  QStringList filters;
  QStringList folders;

 private:
  QTimer timer_;
  int answer_tries_{0};
};

#endif
