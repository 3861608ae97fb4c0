#include <memory>
#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaMethod>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <app/tessaly.h>
#include <qvwr/qvwr_figure.h>
#include <qvwr/qvwr_interaction.h>
#include <qvwr/qvwr_viewer.h>
#include <vimt/vimt_transform_2d.h>
#include "support/dialog_closer.h"
#include "support/shown_window.h"

namespace
{
QSlider* slider(tessaly& w, const char* name) { return w.findChild<QSlider*>(name); }

class square_figure : public qvwr_figure
{
 public:
  explicit square_figure(const QRect& r) { setBoundBox(r); }
  void draw(QPainter&, const QRect&) override { ++draws; }
  void setTransform(const vimt_transform_2d&) override {}
  std::string is_a() const override { return "square_figure"; }
  int draws{0};
};
} // namespace

TEST(TessalyWindow, FrameGeometryAndGround)
{
  auto w = shown_window();
  EXPECT_EQ(w->geometry(), QRect(100, 100, 300, 300));
  qvwr_viewer* v = w->q_viewer();
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->parentWidget(), w.get());
  EXPECT_EQ(v->objectName(), QString("qvwr_viewer"));
  EXPECT_EQ(w->findChild<qvwr_viewer*>(), v);

  // The viewer sits below the three rows and fills the rest of the window.
  QSlider* k = slider(*w, "smooth_k_slider");
  ASSERT_NE(k, nullptr);
  EXPECT_GT(v->geometry().top(), k->geometry().bottom());
  // The status line sits under it, at the bottom.
  auto* status = w->findChild<QLabel*>("status_line");
  ASSERT_NE(status, nullptr);
  EXPECT_LT(v->geometry().bottom(), status->geometry().top());
  EXPECT_EQ(status->geometry().bottom(), 299);
  EXPECT_EQ(v->width(), 300);
  EXPECT_GT(v->height(), 100);

  // Its dark green ground, as it paints it.
  const QImage shot = v->grab().toImage();
  EXPECT_EQ(QColor(shot.pixel(3, 3)), QColor(10, 100, 10));
  EXPECT_EQ(QColor(shot.pixel(v->width() - 1, v->height() - 1)), QColor(10, 100, 10));
  // The viewer's own mapping follows its real size.
  EXPECT_DOUBLE_EQ(v->worldToDisplay()(v->worldWindow().centroid()).x(), v->width() / 2.0);
}

TEST(TessalyWindow, LayoutControlsAndValues)
{
  auto w = shown_window();
  auto* top = qobject_cast<QVBoxLayout*>(w->layout());
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top->contentsMargins(), QMargins(0, 0, 0, 0));
  ASSERT_NE(qobject_cast<QMenuBar*>(top->menuBar()), nullptr);
  ASSERT_EQ(top->count(), 6);
  EXPECT_EQ(top->itemAt(4)->widget(), w->q_viewer());
  EXPECT_EQ(top->itemAt(5)->widget(), w->findChild<QLabel*>("status_line"));

  // Row 1: "Clear", "Run Snake", its speed, "Cost Image", then a stretch.
  QLayout* row1 = top->itemAt(0)->layout();
  ASSERT_NE(row1, nullptr);
  ASSERT_EQ(row1->count(), 5);
  auto* clear = qobject_cast<QPushButton*>(row1->itemAt(0)->widget());
  auto* run = qobject_cast<QPushButton*>(row1->itemAt(1)->widget());
  auto* speed = qobject_cast<QToolButton*>(row1->itemAt(2)->widget());
  auto* cost = qobject_cast<QCheckBox*>(row1->itemAt(3)->widget());
  ASSERT_TRUE(clear && run && speed && cost);
  EXPECT_NE(row1->itemAt(4)->spacerItem(), nullptr);
  EXPECT_EQ(clear->text(), QString("Clear"));
  EXPECT_EQ(run->text(), QString("Run Snake"));
  EXPECT_EQ(cost->text(), QString("Cost Image"));
  EXPECT_EQ(clear->toolTip(), QString("Clear snake"));
  EXPECT_EQ(run->toolTip(), QString("Run iterations of the snake"));
  EXPECT_TRUE(cost->toolTip().isEmpty());
  EXPECT_FALSE(cost->isChecked());
  EXPECT_TRUE(clear->shortcut().isEmpty());
  EXPECT_TRUE(run->shortcut().isEmpty());
  EXPECT_EQ(cost->minimumSize(), cost->sizeHint());

  // Rows 2 to 4: end labels around a slider in its middle position.
  const char* labels[3][2] = {{"All Internal", "All External"}, {"No smoothing", "Very smooth"}, {"Shrink", "Grow"}};
  for (int r = 0; r < 3; ++r) {
    QLayout* row = top->itemAt(1 + r)->layout();
    ASSERT_NE(row, nullptr);
    ASSERT_EQ(row->count(), 3);
    auto* left = qobject_cast<QLabel*>(row->itemAt(0)->widget());
    auto* s = qobject_cast<QSlider*>(row->itemAt(1)->widget());
    auto* right = qobject_cast<QLabel*>(row->itemAt(2)->widget());
    ASSERT_TRUE(left && s && right);
    EXPECT_EQ(left->text(), QString(labels[r][0]));
    EXPECT_EQ(right->text(), QString(labels[r][1]));
    EXPECT_EQ(s->orientation(), Qt::Horizontal);
    EXPECT_EQ(s->minimum(), r < 2 ? 0 : -100);
    EXPECT_EQ(s->maximum(), 100);
    EXPECT_EQ(s->pageStep(), 5);
    EXPECT_EQ(s->value(), r < 2 ? 50 : 0);
  }
  EXPECT_EQ(qobject_cast<QSlider*>(top->itemAt(1)->layout()->itemAt(1)->widget()),
            slider(*w, "image_wt_slider"));

  // The buttons keep their size when the window grows; the check box may grow.
  const QSize clear_size = clear->size(), run_size = run->size(), speed_size = speed->size();
  w->resize(700, 500);
  QCoreApplication::processEvents();
  EXPECT_EQ(clear->size(), clear_size);
  EXPECT_EQ(run->size(), run_size);
  EXPECT_EQ(speed->size(), speed_size);
  EXPECT_EQ(clear->minimumSize(), clear->maximumSize());
  EXPECT_LT(cost->minimumWidth(), cost->maximumWidth());
  EXPECT_EQ(w->q_viewer()->width(), 700);
}

TEST(TessalyWindow, MenusKeepTheirItemsInOrder)
{
  auto w = shown_window();
  auto* bar = w->findChild<QMenuBar*>();
  ASSERT_NE(bar, nullptr);
  QStringList menus;
  for (QAction* m : bar->actions())
    menus << m->text();
  EXPECT_EQ(menus, (QStringList{"&File", "&Edit", "&View", "&Help"}));
  // The first items keep their order among the new ones.
  const QList<QAction*> file = bar->actions()[0]->menu()->actions();
  QStringList old_items;
  for (QAction* a : file)
    if (a->text() == "Load Image" || a->text() == "Clear" || a->text() == "Quit")
      old_items << a->text();
  EXPECT_EQ(old_items, (QStringList{"Load Image", "Clear", "Quit"}));
  EXPECT_EQ(bar->actions()[3]->menu()->actions().value(0)->text(), QString("About..."));
}

TEST(TessalyWindow, SlotTableInOrderAndInvocableByName)
{
  tessaly w(nullptr, "main");
  EXPECT_EQ(w.objectName(), QString("main"));
  const QMetaObject* mo = w.metaObject();
  EXPECT_STREQ(mo->className(), "tessaly");
  EXPECT_EQ(mo->superClass(), &QWidget::staticMetaObject);
  EXPECT_TRUE(w.inherits("tessaly"));
  EXPECT_EQ(qobject_cast<tessaly*>(static_cast<QObject*>(&w)), &w);
  const char* table[] = {"slotHelpAbout()",        "load_image()",    "load_image(const char*)",
                         "clear()",                "set_to_select_points()", "set_to_zoom()",
                         "set_image_wt(int)",      "set_smooth_k(int)", "search()",
                         "set_show_cost_image(bool)", "set_pressure(int)"};
  // The eleven first slots in order, then the played run's signal, slots and
  // the two it answers by name.
  ASSERT_EQ(mo->methodCount() - mo->methodOffset(), 17);
  const int first = mo->indexOfSlot(table[0]);
  for (int k = 0; k < 11; ++k) {
    const QMetaMethod m = mo->method(first + k);
    EXPECT_EQ(m.methodSignature(), QByteArray(table[k]));
    EXPECT_EQ(m.methodType(), QMetaMethod::Slot);
    EXPECT_EQ(m.access(), QMetaMethod::Public);
  }
  for (const char* slot : {"run_or_stop()", "stop_run()", "set_step_delay_ms(int)"})
    EXPECT_EQ(mo->method(mo->indexOfSlot(slot)).access(), QMetaMethod::Public) << slot;
  EXPECT_GE(mo->indexOfSignal("run_finished()"), mo->methodOffset());
  int ms = -1;
  bool running = true;
  EXPECT_TRUE(QMetaObject::invokeMethod(&w, "set_step_delay_ms", Q_ARG(int, 50)));
  EXPECT_TRUE(QMetaObject::invokeMethod(&w, "step_delay_ms", Q_RETURN_ARG(int, ms)));
  EXPECT_TRUE(QMetaObject::invokeMethod(&w, "running", Q_RETURN_ARG(bool, running)));
  EXPECT_EQ(ms, 50);
  EXPECT_FALSE(running);
  const QMetaMethod path = mo->method(mo->indexOfSlot("load_image(const char*)"));
  EXPECT_EQ(path.parameterNames(), QList<QByteArray>{"path"});
  EXPECT_EQ(mo->indexOfSignal("message(QString)"), -1);

  // The slots nothing connects to are reachable by name.
  EXPECT_TRUE(QMetaObject::invokeMethod(&w, "set_to_zoom"));
  EXPECT_TRUE(QMetaObject::invokeMethod(&w, "set_to_select_points"));
  EXPECT_TRUE(QMetaObject::invokeMethod(&w, "set_image_wt", Q_ARG(int, 30)));
  EXPECT_TRUE(QMetaObject::invokeMethod(&w, "set_pressure", Q_ARG(int, -30)));
}

TEST(TessalyWindow, EveryControlIsWiredToItsSlot)
{
  dialog_closer closer; // later work opens dialogs from some of these slots
  auto w = shown_window();
  auto* clear = w->findChild<QPushButton*>("clear_button");
  auto* run = w->findChild<QPushButton*>("run_button");
  auto* cost = w->findChild<QCheckBox*>("cost_image_check");
  QSlider* wt = slider(*w, "image_wt_slider");
  QSlider* k = slider(*w, "smooth_k_slider");
  ASSERT_TRUE(clear && run && cost && wt && k);

  // Each control fires its signal when used ...
  QSignalSpy clear_spy(clear, &QPushButton::clicked);
  QSignalSpy run_spy(run, &QPushButton::clicked);
  QSignalSpy cost_spy(cost, &QCheckBox::toggled);
  QSignalSpy wt_spy(wt, &QSlider::valueChanged);
  QSignalSpy k_spy(k, &QSlider::valueChanged);
  QTest::mouseClick(clear, Qt::LeftButton);
  QTest::mouseClick(run, Qt::LeftButton);
  QTest::mouseClick(cost, Qt::LeftButton);
  wt->triggerAction(QAbstractSlider::SliderPageStepAdd);
  k->triggerAction(QAbstractSlider::SliderPageStepSub);
  EXPECT_EQ(clear_spy.count(), 1);
  EXPECT_EQ(run_spy.count(), 1);
  ASSERT_EQ(cost_spy.count(), 1);
  EXPECT_TRUE(cost_spy.at(0).at(0).toBool());
  ASSERT_EQ(wt_spy.count(), 1);
  EXPECT_EQ(wt_spy.at(0).at(0).toInt(), 55);
  ASSERT_EQ(k_spy.count(), 1);
  EXPECT_EQ(k_spy.at(0).at(0).toInt(), 45);

  QAction* load = menu_item(*w, "&File", "Load Image");
  QAction* clear_item = menu_item(*w, "&File", "Clear");
  QAction* quit = menu_item(*w, "&File", "Quit");
  QAction* about = menu_item(*w, "&Help", "About...");
  ASSERT_TRUE(load && clear_item && quit && about);
  QSignalSpy load_spy(load, &QAction::triggered);
  load->trigger();
  clear_item->trigger();
  EXPECT_EQ(load_spy.count(), 1);

  // ... and that signal reaches the window's slot of that name: a
  // disconnect succeeds only for a connection that exists.
  tessaly* win = w.get();
  EXPECT_TRUE(QObject::disconnect(clear, &QPushButton::clicked, win, &tessaly::clear));
  EXPECT_TRUE(QObject::disconnect(run, &QPushButton::clicked, win, &tessaly::run_or_stop));
  EXPECT_TRUE(QObject::disconnect(cost, &QCheckBox::toggled, win, &tessaly::set_show_cost_image));
  EXPECT_TRUE(QObject::disconnect(wt, &QSlider::valueChanged, win, &tessaly::set_image_wt));
  EXPECT_TRUE(QObject::disconnect(k, &QSlider::valueChanged, win, &tessaly::smooth_slider_moved));
  EXPECT_TRUE(QObject::disconnect(load, &QAction::triggered, win, qOverload<>(&tessaly::load_image)));
  EXPECT_TRUE(QObject::disconnect(clear_item, &QAction::triggered, win, &tessaly::clear));
  EXPECT_TRUE(QObject::disconnect(about, &QAction::triggered, win, &tessaly::slotHelpAbout));
  // A wrong pairing is not connected.
  EXPECT_FALSE(QObject::disconnect(run, &QPushButton::clicked, win, &tessaly::clear));
  // Quit goes to the application object, not to the window.
  EXPECT_FALSE(QObject::disconnect(quit, &QAction::triggered, win, nullptr));
  EXPECT_TRUE(QObject::disconnect(quit, &QAction::triggered, qApp, nullptr));
}

TEST(TessalyWindow, AboutShowsBothBoxesInTurn)
{
  auto w = shown_window();
  dialog_closer closer;
  QAction* about = menu_item(*w, "&Help", "About...");
  ASSERT_NE(about, nullptr);
  about->trigger(); // returns once both modal boxes are closed
  ASSERT_EQ(closer.titles, (QStringList{"About tessaly", "qt1"}));
  const QString text = closer.texts[0];
  const QString first_line = text.section('\n', 0, 0);
  EXPECT_TRUE(first_line.startsWith("tessaly  ")) << first_line.toStdString();
  EXPECT_GT(first_line.size(), 9);
  EXPECT_EQ(text.section('\n', 1),
            QString("\nTool for experimenting with basic snake.\nUse can:\n - Load in an image\n"
                    " - Click to define initial snake\n - Run iterations of snake\n"
                    " - Modify snake parameters\n"));
  EXPECT_TRUE(closer.texts[1].contains("Qt"));
  EXPECT_EQ(closer.parents, (std::vector<QWidget*>{w.get(), w.get()}));
}

TEST(TessalyWindow, QuitEndsTheEventLoop)
{
  auto w = shown_window();
  QAction* quit = menu_item(*w, "&File", "Quit");
  ASSERT_NE(quit, nullptr);
  QTimer::singleShot(0, quit, &QAction::trigger);
  QTimer guard; // never wait forever if Quit does nothing
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  guard.start(10000);
  EXPECT_EQ(QApplication::exec(), 0);
}

TEST(TessalyWindow, DestroyingTheWindowEmptiesTheViewerFirst)
{
  std::vector<std::unique_ptr<square_figure>> figures;
  figures.push_back(std::make_unique<square_figure>(QRect(0, 0, 20, 20)));
  figures.push_back(std::make_unique<square_figure>(QRect(10, 10, 20, 20)));
  qvwr_interaction editor;
  {
    auto w = shown_window();
    for (auto& f : figures)
      w->q_viewer()->append(*f);
    w->q_viewer()->append(editor);
    w->close();
    QCoreApplication::processEvents();
  }
  // The figures outlive the window and no longer point into it.
  for (auto& f : figures)
    EXPECT_FALSE(f->gotViewer());
  EXPECT_FALSE(editor.gotViewer());
  figures.clear();
}
