#include <app/snake_overlay.h>

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QVector>
#include <algorithm>
#include <memory>

namespace
{
// Display rounding: halves away from zero.  Clamped first, so that a point
// far outside any picture still gives an int (and one that is not a number
// is drawn nowhere).
int display_round(double v)
{
  v = v == v ? std::clamp(v, -1e8, 1e8) : -1e8;
  return static_cast<int>(v >= 0 ? v + 0.5 : v - 0.5);
}
}  // namespace

vil_image_view<vxl_byte> snake_overlay(const vil_image_view<vxl_byte>& image,
                                       const std::vector<vgl_point_2d<double>>& pts)
{
  const int ni = int(image.ni()), nj = int(image.nj());
  // Interleaved RGB rows, each on a 4-byte boundary as QImage wants them:
  // the painter draws straight into the result's memory.
  const std::ptrdiff_t row_bytes = (3 * std::ptrdiff_t(ni) + 3) / 4 * 4;
  auto mem = std::make_shared<vil_memory_chunk>(std::size_t(row_bytes) * std::size_t(nj),
                                                VIL_PIXEL_FORMAT_BYTE);
  auto* top = static_cast<vxl_byte*>(mem->data());
  vil_image_view<vxl_byte> out(mem, top, image.ni(), image.nj(), 3, 3, row_bytes, 1);
  QImage qim(top, ni, nj, qsizetype(row_bytes), QImage::Format_RGB888);
  // Grey planes shown in all three colours; a fourth plane (alpha) unused.
  const std::ptrdiff_t is = image.istep(), ps = image.nplanes() < 3 ? 0 : image.planestep();
  for (int j = 0; j < nj; ++j) {
    const vxl_byte* src = image.top_left_ptr() + j * image.jstep();
    vxl_byte* row = top + j * row_bytes;
    for (int i = 0; i < ni; ++i, src += is, row += 3) {
      row[0] = src[0];
      row[1] = src[ps];
      row[2] = src[2 * ps];
    }
  }

  QPainter painter(&qim);
  // The shape figure: thin lines from point to point, closed.
  QVector<QLine> lines;
  for (std::size_t k = 0; k < pts.size(); ++k) {
    const vgl_point_2d<double>& a = pts[k];
    const vgl_point_2d<double>& b = pts[(k + 1) % pts.size()];
    lines << QLine(display_round(a.x()), display_round(a.y()), display_round(b.x()),
                   display_round(b.y()));
  }
  painter.setPen(QPen(QBrush(Qt::red, Qt::SolidPattern), 0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(QBrush(Qt::red, Qt::SolidPattern));
  if (!lines.isEmpty()) painter.drawLines(lines);
  // The point editor's figure, drawn above: filled discs without outline.
  painter.setBrush(QBrush(QColor(0, 255, 0), Qt::SolidPattern));
  painter.setPen(QPen(Qt::NoPen));
  for (const vgl_point_2d<double>& p : pts)
    painter.drawEllipse(display_round(p.x()) - 2, display_round(p.y()) - 2, 5, 5);
  painter.end();
  return out;
}
