#ifndef snake_points_file_h_
#define snake_points_file_h_
// The files a snake's points are kept in, written and read the same way by
// the window and by tessaly-snake: CSV, JSON, SVG and a vsl point-set record
// (.bvl).  Points are in image pixel coordinates (x the column, y the row,
// pixel centres at whole numbers).
#include <istream>
#include <string>
#include <vector>
#include <app/snake_image_file.h>
#include <app/tessaly_snake.h>
#include <vgl/vgl_point_2d.h>

// What a points file records besides the points.
struct snake_points_record
{
  // The image file's name as given; its size in pixels.
  std::string image;
  unsigned ni = 0, nj = 0;
  // How its pixels were brought to 8 bits, if they were.
  snake_stretch stretch;
  // Slider positions, 0..100; smooth -1 while the smoothing slider was never
  // moved (the start factor, snake_start_smooth_k).
  int weight = 50;
  int smooth = -1;
  // The smoothing's width in pixels when given as one (--smooth-px), else
  // -1; it then rules over smooth.
  double smooth_px = -1;
  // Pressure slider position, -100..100.
  int pressure = 0;
  // The run's settings; run.weight and run.pressure are the sliders'.
  snake_run_settings run;
  std::vector<vgl_point_2d<double>> pts;

  // The smoothing factor the width or the slider position gives.
  double smooth_k() const;
};

// True for the names the writers know by extension, in any case: .csv,
// .json, .svg and .bvl.
bool snake_points_format_known(const std::string& path);

// A number with 17 significant digits, so that it reads back exactly.
std::string snake_number(double v);

// The points as CSV: a line "x,y", then one line a point.
std::string snake_points_csv(const std::vector<vgl_point_2d<double>>& pts);

// Writes r in the format path's extension names, whole or not at all
// (vul_save_file).  False, with the reason in why; a point that is not a
// finite number is refused.  Strings are written as valid UTF-8 (a byte
// of a file name that is not becomes U+FFFD).
bool write_snake_points(const std::string& path, const snake_points_record& r, std::string& why);

// "x,y" with optional blanks around either number, both finite.
bool snake_parse_point(const std::string& text, vgl_point_2d<double>& p);

// Reads the points of a file of either kind: a vsl stream holding a 2-D
// point set written through the vsml_points polymorphic writer, or text.
// Text has one point a line, "x,y"; or a first line that names the columns
// (in any case, in any order, others ignored: "id,X,Y") and one point a
// line in them.  Columns are separated by commas, or by semicolons or tabs
// when the first line has them; blank lines, lines starting with "#" and a
// leading UTF-8 byte-order mark are skipped.  Any readable file will do (a
// pipe, /dev/stdin); at most 64 MiB are read, and 1000000 points.  False,
// with the reason in why (naming the line for text) and pts empty.
bool read_snake_points(const std::string& path, std::vector<vgl_point_2d<double>>& pts,
                       std::string& why);
// As above, from a stream read to its end (standard input).
bool read_snake_points(std::istream& in, std::vector<vgl_point_2d<double>>& pts, std::string& why);

#endif
