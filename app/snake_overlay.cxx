#include <app/snake_overlay.h>

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QVector>
#include <algorithm>
#include <climits>
#include <memory>
#include <new>

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
                                       const std::vector<vgl_point_2d<double>>& pts,
                                       const snake_overlay_style& style)
{
  const int zoom = std::max(style.zoom, 1);
  // The painter counts pixels in ints.
  if ((long long)image.ni() * zoom > INT_MAX / 4 || (long long)image.nj() * zoom > INT_MAX / 4)
    throw std::bad_alloc();
  const int ni = int(image.ni()) * zoom, nj = int(image.nj()) * zoom;
  // Interleaved RGB rows, each on a 4-byte boundary as QImage wants them:
  // the painter draws straight into the result's memory.
  const std::ptrdiff_t row_bytes = (3 * std::ptrdiff_t(ni) + 3) / 4 * 4;
  auto mem = std::make_shared<vil_memory_chunk>(std::size_t(row_bytes) * std::size_t(nj),
                                                VIL_PIXEL_FORMAT_BYTE);
  auto* top = static_cast<vxl_byte*>(mem->data());
  vil_image_view<vxl_byte> out(mem, top, unsigned(ni), unsigned(nj), 3, 3, row_bytes, 1);
  QImage qim(top, ni, nj, qsizetype(row_bytes), QImage::Format_RGB888);
  // Grey planes shown in all three colours; a fourth plane (alpha) unused.
  const std::ptrdiff_t is = image.istep(), ps = image.nplanes() < 3 ? 0 : image.planestep();
  for (int j = 0; j < nj; ++j) {
    const vxl_byte* src = image.top_left_ptr() + (j / zoom) * image.jstep();
    vxl_byte* row = top + j * row_bytes;
    for (int i = 0; i < ni; ++i, row += 3) {
      const vxl_byte* s = src + (i / zoom) * is;
      row[0] = s[0];
      row[1] = s[ps];
      row[2] = s[2 * ps];
    }
  }
  // Image pixel i covers picture pixels zoom * i .. zoom * i + zoom - 1; its
  // centre, where the point x = i lies, is in the middle of them.
  auto at = [zoom](double v) { return display_round(zoom * v + 0.5 * (zoom - 1)); };

  QPainter painter(&qim);
  // The shape figure: thin lines from point to point, closed.
  QVector<QLine> lines;
  for (std::size_t k = 0; k < pts.size(); ++k) {
    const vgl_point_2d<double>& a = pts[k];
    const vgl_point_2d<double>& b = pts[(k + 1) % pts.size()];
    lines << QLine(at(a.x()), at(a.y()), at(b.x()), at(b.y()));
  }
  // Width 1 is the window's thin (cosmetic) pen.
  const int width = std::max(style.line_width, 1);
  painter.setPen(QPen(QBrush(Qt::red, Qt::SolidPattern), width == 1 ? 0 : width, Qt::SolidLine,
                      Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(QBrush(Qt::red, Qt::SolidPattern));
  if (style.curve && !lines.isEmpty()) painter.drawLines(lines);
  // The point editor's figure, drawn above: filled discs without outline,
  // wider than a thick line so that they still show on it.
  const int radius = style.curve ? std::max(2, width / 2 + 1) : 2;
  painter.setBrush(QBrush(QColor(0, 255, 0), Qt::SolidPattern));
  painter.setPen(QPen(Qt::NoPen));
  if (style.points)
    for (const vgl_point_2d<double>& p : pts)
      painter.drawEllipse(at(p.x()) - radius, at(p.y()) - radius, 2 * radius + 1, 2 * radius + 1);
  painter.end();
  return out;
}
