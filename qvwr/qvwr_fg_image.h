#ifndef qvwr_fg_image_h_
#define qvwr_fg_image_h_
// Figure showing an 8-bit image in a qvwr_viewer.  It keeps a display-
// resolution copy of the visible part of the image, rebuilt once per change
// of image, mapping, interpolation or equalisation; painting only blits it.
// The painted picture is a 32-bit image rebuilt in place: a pixmap of a
// grey (8-bit) display image would be its conversion into fresh memory at
// each rebuild.  Optionally the figure paints its pixels straight from the
// image instead, where they land one to one on the painter's memory.
#include <string>
#include <QImage>
#include <qvwr/qvwr_figure.h>
#include <vimt/vimt_image_2d_of.h>
#include <vimt/vimt_transform_2d.h>

class qvwr_fg_image : public qvwr_figure
{
 public:
  qvwr_fg_image();
  ~qvwr_fg_image() override;

  // Shows image (its pixels are shared, not copied).  The figure must be
  // attached to a viewer.
  void set(const vimt_image_2d_of<unsigned char>& image);

  void setTransform(const vimt_transform_2d& w2d) override;

  // Grey values shown as black (lo) and white (hi) for one- and two-plane
  // images; takes effect at the next rebuild.
  void setRange(double lo, double hi);
  // Histogram-equalise the visible part (one- and two-plane images).
  void set_hist_eq(bool on);
  void setInterpMethod(int method) override;
  int interpMethod() const override { return interp_method_; }
  // Place the image by its own world-to-image transform (on), or treat
  // image pixel coordinates as world coordinates (off).
  void set_mapping_mode(bool on);
  // On: a rebuild only places the picture, and painting samples the image
  // straight into the painter's device (a window's buffer, a pixmap): one
  // pass over a frame instead of two.  The display image is then built
  // only for a painter that cannot take that (and never when equalising,
  // which needs the whole picture first).  Off by default; takes effect at
  // the next rebuild.
  void set_paint_from_source(bool on) { paint_from_source_ = on; }

  bool isOpaque() const override { return true; }
  std::string is_a() const override { return "qvwr_fg_image"; }
  void draw(QPainter& painter, const QRect& area) override;

  // Rebuilds the display image of the visible area, or with
  // set_paint_from_source only places it.
  void computeImage();
  // Colour table of the 8-bit display image from the grey range.
  void setGreyscale();

  const vimt_image_2d_of<unsigned char>& image() const { return image_; }
  // Null while the figure paints from the image.
  const QImage& displayImage() const { return qimage_; }
  // What draw() paints: the display image itself, or for grey its colours.
  const QImage& shownImage() const { return grey_ ? rgb_ : qimage_; }
  int pixmapX() const { return pixmap_x_; }
  int pixmapY() const { return pixmap_y_; }

 private:
  bool hasPixels() const { return image_.ni() != 0 && image_.nj() != 0; }
  // The rebuild, painting from the image where allowed.
  void rebuild(bool from_source_allowed);
  // Paints from the image, if the painter's device takes that.
  bool paintFromSource(QPainter& painter) const;
  // Colours of the grey values 0 .. n-1 for the range.
  QList<QRgb> greyTable(int n) const;
  // rgb_ from the grey display image and its colour table (same size).
  void colourGrey();

  vimt_image_2d_of<unsigned char> image_;
  vimt_transform_2d w2d_;
  vimt_transform_2d w2i_;
  int interp_method_{0};
  double range_lo_{0.0};
  double range_hi_{255.0};
  bool mapping_mode_{true};
  QImage qimage_;
  // The grey display image through its colour table, when grey_.
  QImage rgb_;
  bool grey_{false};
  int pixmap_x_{0};
  int pixmap_y_{0};
  // The device pixel ratio of the last rebuild, and the device pixel of the
  // display image's top-left corner.
  qreal ratio_{1.0};
  int device_x_{0};
  int device_y_{0};
  bool hist_eq_{false};
  bool paint_from_source_{false};
  // Painted from the image: the display image's place and size, the map
  // from image to its pixels, and for grey the colours of 0 .. 255.
  bool from_source_{false};
  QSize device_size_;
  vimt_transform_2d i2a_;
  QList<QRgb> grey_table_;
};

#endif
