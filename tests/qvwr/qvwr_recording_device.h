#ifndef tessaly_tests_qvwr_recording_device_h_
#define tessaly_tests_qvwr_recording_device_h_
// A paint device whose engine records what a figure asks the painter to do
// (ellipses, points, polylines) with the pen and brush in force, instead of
// painting pixels.  Lets tests check the requests themselves, independently
// of how the raster engine fills them.
#include <vector>
#include <QBrush>
#include <QLine>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPen>
#include <QPolygon>
#include <QRect>

struct recorded_op
{
  enum kind { ellipse, points, polyline, polygon, lines, path, other };
  kind what;
  QRect rect;     // ellipse
  QPolygon pts;   // points, polyline, polygon; lines as end point pairs
  QPen pen;
  QBrush brush;
};

class recording_engine : public QPaintEngine
{
 public:
  recording_engine() : QPaintEngine(QPaintEngine::AllFeatures) {}

  bool begin(QPaintDevice*) override { return true; }
  bool end() override { return true; }
  Type type() const override { return QPaintEngine::User; }
  void updateState(const QPaintEngineState& s) override
  {
    if (s.state() & QPaintEngine::DirtyPen) pen_ = s.pen();
    if (s.state() & QPaintEngine::DirtyBrush) brush_ = s.brush();
  }
  void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override { add(recorded_op::other); }
  void drawEllipse(const QRect& r) override
  {
    recorded_op& op = add(recorded_op::ellipse);
    op.rect = r;
  }
  void drawEllipse(const QRectF& r) override
  {
    recorded_op& op = add(recorded_op::ellipse);
    op.rect = r.toRect();
  }
  void drawPoints(const QPoint* p, int n) override
  {
    recorded_op& op = add(recorded_op::points);
    for (int i = 0; i < n; ++i) op.pts << p[i];
  }
  void drawPoints(const QPointF* p, int n) override
  {
    recorded_op& op = add(recorded_op::points);
    for (int i = 0; i < n; ++i) op.pts << p[i].toPoint();
  }
  void drawPolygon(const QPoint* p, int n, PolygonDrawMode m) override
  {
    recorded_op& op = add(m == PolylineMode ? recorded_op::polyline : recorded_op::polygon);
    for (int i = 0; i < n; ++i) op.pts << p[i];
  }
  void drawPolygon(const QPointF* p, int n, PolygonDrawMode m) override
  {
    recorded_op& op = add(m == PolylineMode ? recorded_op::polyline : recorded_op::polygon);
    for (int i = 0; i < n; ++i) op.pts << p[i].toPoint();
  }
  void drawLines(const QLine* l, int n) override
  {
    recorded_op& op = add(recorded_op::lines);
    for (int i = 0; i < n; ++i) op.pts << l[i].p1() << l[i].p2();
  }
  void drawLines(const QLineF* l, int n) override
  {
    recorded_op& op = add(recorded_op::lines);
    for (int i = 0; i < n; ++i) op.pts << l[i].p1().toPoint() << l[i].p2().toPoint();
  }
  void drawPath(const QPainterPath&) override { add(recorded_op::path); }

  std::vector<recorded_op> ops;

 private:
  recorded_op& add(recorded_op::kind k)
  {
    ops.push_back(recorded_op{k, QRect(), QPolygon(), pen_, brush_});
    return ops.back();
  }
  QPen pen_;
  QBrush brush_;
};

class recording_device : public QPaintDevice
{
 public:
  QPaintEngine* paintEngine() const override { return &engine_; }
  std::vector<recorded_op>& ops() { return engine_.ops; }

 protected:
  int metric(PaintDeviceMetric m) const override
  {
    switch (m) {
      case PdmWidth:
      case PdmHeight: return 4096;
      case PdmWidthMM:
      case PdmHeightMM: return 1084;
      case PdmDpiX:
      case PdmDpiY:
      case PdmPhysicalDpiX:
      case PdmPhysicalDpiY: return 96;
      case PdmDepth: return 32;
      case PdmNumColors: return 0x7fffffff;
      case PdmDevicePixelRatio: return 1;
      case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
      default: return 0;
    }
  }

 private:
  mutable recording_engine engine_;
};

#endif
