#ifndef tessaly_tests_support_dialog_closer_h_
#define tessaly_tests_support_dialog_closer_h_
// Closes every dialog that comes up while it lives, so that a modal box
// never blocks a test, and notes what each one showed.  A file dialog is
// answered with `choose` (cancelled when that is empty).
#include <vector>
#include <QApplication>
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
        auto* box = qobject_cast<QMessageBox*>(d);
        titles.push_back(d->windowTitle());
        texts.push_back(box ? box->text() : QString());
        infos.push_back(box ? box->informativeText() : QString());
        parents.push_back(d->parentWidget());
        auto* fd = qobject_cast<QFileDialog*>(d);
        if (fd) {
          filters = fd->nameFilters();
          folders.push_back(fd->directory().absolutePath());
        }
        // Typed as a user would (selectFile() leaves a focused name field
        // alone); a dialog that will not take it is cancelled after a second.
        if (fd && !choose.isEmpty() && ++answer_tries_ < 200) {
          fd->selectFile(choose);
          if (auto* name = fd->findChild<QLineEdit*>("fileNameEdit"))
            name->setText(choose);
          QMetaObject::invokeMethod(fd, "accept");
        } else {
          d->done(0);
        }
      }
    });
    timer_.start();
  }

  // Each dialog's title, a message box's text and informative text (its
  // reason), the parent; the last file dialog's filters and each one's folder.
  QStringList titles, texts, infos;
  std::vector<QWidget*> parents;
  QStringList filters, folders;

 private:
  QTimer timer_;
  int answer_tries_{0};
};

#endif
