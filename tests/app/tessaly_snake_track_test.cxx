// tessaly-snake following a disc through a sequence (--track), a TIFF's
// pages as frames, and the measures of the curves it ends on.
#include <cmath>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <app/snake_measures.h>
#include <gtest/gtest.h>
#include "support/tessaly_snake_cli.h"

namespace
{
using point_list = std::vector<vgl_point_2d<double>>;

// A CSV's rows after its header, each split into fields.
std::vector<QList<QByteArray>> csv_rows(const QString& path)
{
  std::vector<QList<QByteArray>> rows;
  for (const QByteArray& line : contents(path).trimmed().split('\n').mid(1)) rows.push_back(line.trimmed().split(','));
  return rows;
}

// The synthetic sequence in dir: frame-01.png .. frame-30.png, movie.tif,
// truth.csv and start.csv.
void make_sequence(const QString& dir)
{
  QProcess p;
  p.start(QStringLiteral(TESSALY_SOURCE_DIR "/scripts/track-sequence"), {dir});
  ASSERT_TRUE(p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
      << p.readAllStandardError().toStdString();
}
}  // namespace

// The curves' measures, against each shape's own definition: rectangles
// and an L of two rectangles, either way round, a line and a square far out.
TEST(SnakeMeasures, AreaPerimeterCentroidAndBoxOfPlainShapes)
{
  const struct
  {
    const char* name;
    point_list pts;
    double area, perimeter, cx, cy;
    int orientation;
  } rows[] = {
      {"rectangle", {{0, 0}, {4, 0}, {4, 3}, {0, 3}}, 12, 14, 2, 1.5, 1},
      {"rectangle the other way", {{0, 3}, {4, 3}, {4, 0}, {0, 0}}, 12, 14, 2, 1.5, -1},
      {"L: a 4 x 1 and a 1 x 2", {{0, 0}, {4, 0}, {4, 1}, {1, 1}, {1, 3}, {0, 3}}, 6, 14, 9.0 / 6, 6.0 / 6, 1},
      {"a line, back and forth", {{0, 0}, {1, 1}, {2, 2}}, 0, 4 * std::sqrt(2.0), 1, 1, 0},
      {"unit square far out", {{1e7, 1e7}, {1e7 + 1, 1e7}, {1e7 + 1, 1e7 + 1}, {1e7, 1e7 + 1}}, 1, 4, 1e7 + 0.5, 1e7 + 0.5, 1},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    const snake_measures m = measure_snake(r.pts);
    EXPECT_EQ(m.points, r.pts.size());
    EXPECT_EQ(m.orientation, r.orientation);
    EXPECT_NEAR(m.area, r.area, 1e-9);
    EXPECT_NEAR(m.perimeter, r.perimeter, 1e-9);
    EXPECT_NEAR(m.centroid_x, r.cx, 1e-9);
    EXPECT_NEAR(m.centroid_y, r.cy, 1e-9);
    for (const auto& p : r.pts)
      EXPECT_TRUE(p.x() >= m.min_x && p.x() <= m.max_x && p.y() >= m.min_y && p.y() <= m.max_y);
  }
}

// The disc drifts up to 4 pixels a frame and its radius changes by up to
// 5 %: every frame's curve lies on that frame's outline, its measures are
// the disc's, and the pages of a TIFF give what the PNG files give.  With
// --frames each frame's steps go under its number, the last step's picture
// the frame's overlay.
TEST(TessalySnakeTrack, FollowsTheDiscThroughThirtyFramesAndATiffsPages)
{
  QTemporaryDir dir;
  make_sequence(dir.path());
  const auto truth = csv_rows(dir.filePath("truth.csv"));
  ASSERT_EQ(truth.size(), 30u);
  for (std::size_t k = 1; k < truth.size(); ++k) {
    EXPECT_LE(std::hypot(truth[k][1].toDouble() - truth[k - 1][1].toDouble(), truth[k][2].toDouble() - truth[k - 1][2].toDouble()), 4.0);
    EXPECT_LE(std::fabs(truth[k][3].toDouble() / truth[k - 1][3].toDouble() - 1), 0.05);
  }
  QStringList frames;
  for (int k = 1; k <= 30; ++k) frames << dir.filePath(QString::asprintf("frame-%02d.png", k));
  // The disc's edge is sharp: little smoothing keeps the curve on it.
  const QStringList common = {"--track", "--smooth", "20", "--points-file", dir.filePath("start.csv")};
  const tessaly_snake_ran png =
      run_tessaly_snake(common + QStringList{"-o", dir.filePath("png/%i.csv"), "--measures", dir.filePath("png.csv")} + frames);
  ASSERT_EQ(png.code, 0) << png.err.toStdString();
  const tessaly_snake_ran tif = run_tessaly_snake(
      common + QStringList{"-o", dir.filePath("tif/%i.csv"), "--measures", dir.filePath("tif.csv"), dir.filePath("movie.tif")});
  ASSERT_EQ(tif.code, 0) << tif.err.toStdString();

  const auto measures = csv_rows(dir.filePath("png.csv")), tif_measures = csv_rows(dir.filePath("tif.csv"));
  ASSERT_EQ(measures.size(), 30u);
  ASSERT_EQ(tif_measures.size(), 30u);
  for (int k = 0; k < 30; ++k) {
    SCOPED_TRACE("frame " + std::to_string(k + 1));
    const double cx = truth[k][1].toDouble(), cy = truth[k][2].toDouble(), r = truth[k][3].toDouble();
    const point_list pts = read_points_csv(dir.filePath(QString::asprintf("png/%02d.csv", k + 1)));
    ASSERT_GE(pts.size(), 3u);
    for (const auto& p : pts) EXPECT_LE(std::fabs(std::hypot(p.x() - cx, p.y() - cy) - r), 2.5);
    // image, frame, points, area, perimeter, centroid, box, mean energy
    ASSERT_EQ(measures[k].size(), 12);
    EXPECT_EQ(measures[k][0], QFile::encodeName(frames[k]));
    EXPECT_EQ(measures[k][1].toInt(), k + 1);
    EXPECT_EQ(measures[k][2].toULong(), pts.size());
    EXPECT_NEAR(measures[k][3].toDouble() / (M_PI * r * r), 1.0, 0.05);
    EXPECT_NEAR(measures[k][5].toDouble(), cx, 1.0);
    EXPECT_NEAR(measures[k][6].toDouble(), cy, 1.0);
    EXPECT_LT(measures[k][11].toDouble(), 0.0);  // the edge's pull outweighs the bending
    EXPECT_EQ(read_points_csv(dir.filePath(QString::asprintf("tif/%02d.csv", k + 1))), pts);
    EXPECT_EQ(tif_measures[k].mid(1), measures[k].mid(1));
  }

  const tessaly_snake_ran steps = run_tessaly_snake(
      QStringList{"--track", "--passes", "1", "--steps", "3", "--points-file", dir.filePath("start.csv"), "--frames",
                  dir.filePath("f"), "--overlay", dir.filePath("o/%i.png")} + frames.mid(0, 2));
  ASSERT_EQ(steps.code, 0) << steps.err.toStdString();
  EXPECT_EQ(QDir(dir.filePath("f")).entryList(QDir::Files, QDir::Name),
            (QStringList{"1-step-001.png", "1-step-002.png", "1-step-003.png", "2-step-001.png", "2-step-002.png", "2-step-003.png"}));
  for (const char* k : {"1", "2"}) {
    const QByteArray last = contents(dir.filePath(QStringLiteral("o/%1.png").arg(k)));
    EXPECT_TRUE(!last.isEmpty() && contents(dir.filePath(QStringLiteral("f/%1-step-003.png").arg(k))) == last) << k;
  }
}

// A sequence that cannot go on stops at the frame, says which, and leaves
// the frames after it unwritten; a broken chain of pages stops it before
// anything is written.
TEST(TessalySnakeTrack, ABadPageStopsTheSequenceNamingIt)
{
  QTemporaryDir dir;
  make_sequence(dir.path());
  const QByteArray good = contents(dir.filePath("movie.tif"));
  // Each page: 200 x 160 pixels, then a directory of 9 entries whose sixth
  // is the strip's offset, then the link to the next page.
  const int page = 200 * 160 + 2 + 9 * 12 + 4, strip = 8 + 200 * 160 + 2 + 5 * 12 + 8;
  QByteArray bad_strip = good, cut = good.left(8 + 2 * page + 100);
  bad_strip[2 * page + strip + 3] = char(0x7f);  // page 3's pixels far past the end
  const struct
  {
    const char* name;
    QByteArray file;
    QStringList said, written;  // every file in the output folder, hidden ones too
  } rows[] = {
      {"page 3 unreadable", bad_strip, {"page 3", "frame 3 of 30", "stops"}, {"01.csv", "02.csv"}},
      {"cut inside page 3", cut, {"page 3", "nothing was run"}, {}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    QDir(dir.filePath("out")).removeRecursively();
    ASSERT_TRUE(write_contents(dir.filePath("bad.tif"), r.file));
    const tessaly_snake_ran ran = run_tessaly_snake({"--track", "--points-file", dir.filePath("start.csv"), "-o",
                                                     dir.filePath("out/%i.csv"), dir.filePath("bad.tif")});
    EXPECT_EQ(ran.code, 1);
    for (const QString& s : r.said) EXPECT_TRUE(ran.err.contains(s)) << s.toStdString() << " not in " << ran.err.toStdString();
    EXPECT_EQ(QDir(dir.filePath("out")).entryList(QDir::Hidden | QDir::Files, QDir::Name), r.written);
  }
}
