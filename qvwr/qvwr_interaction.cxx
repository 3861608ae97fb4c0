#include <qvwr/qvwr_interaction.h>
#include <qvwr/qvwr_viewer.h>
#include <QKeyEvent>

qvwr_interaction::~qvwr_interaction()
{
  remove();
}

std::string qvwr_interaction::is_a() const
{
  return "qvwr_interaction";
}

void qvwr_interaction::mousePressEvent(QMouseEvent*)
{
}

void qvwr_interaction::mouseReleaseEvent(QMouseEvent*)
{
}

void qvwr_interaction::mouseMoveEvent(QMouseEvent*)
{
}

void qvwr_interaction::mouseDoubleClickEvent(QMouseEvent*)
{
}

void qvwr_interaction::keyPressEvent(QKeyEvent* e)
{
  e->ignore();
}

void qvwr_interaction::keyReleaseEvent(QKeyEvent* e)
{
  e->ignore();
}

void qvwr_interaction::setViewer(qvwr_viewer& v)
{
  viewer_ = &v;
}

void qvwr_interaction::clearViewer()
{
  viewer_ = nullptr;
}

void qvwr_interaction::losingFocus()
{
}

void qvwr_interaction::gainingFocus()
{
}

void qvwr_interaction::remove()
{
  if (viewer_)
    viewer_->remove(*this);
  viewer_ = nullptr;
}
