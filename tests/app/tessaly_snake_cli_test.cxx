// tessaly-snake end to end: the real program on files made here, each output
// read back by a real parser.  (Its agreement with the window is checked with
// the window's run tests.)
#include <cmath>
#include <memory>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <shape_data/vsml_points_2d.h>
#include "support/tessaly_snake_cli.h"
#include <vil/vil_image_view.h>
#include <vil/vil_save.h>
#include <vsl/vsl_b_ifstream.h>
#include <vsl/vsl_binary_loader.h>

namespace
{
using point_list = std::vector<vgl_point_2d<double>>;

QByteArray contents(const QString& path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

point_list json_points(const QString& path, int& width)
{
  QJsonParseError err;
  const QJsonObject o = QJsonDocument::fromJson(contents(path), &err).object();
  EXPECT_EQ(err.error, QJsonParseError::NoError) << err.errorString().toStdString();
  width = o["width"].toInt();
  point_list pts;
  for (const QJsonValue& p : o["points"].toArray()) pts.emplace_back(p[0].toDouble(), p[1].toDouble());
  return pts;
}

// The circles' centres, and the path's vertices (shifted by the group's half pixel).
point_list svg_points(const QString& path, point_list& vertices)
{
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&f);
  point_list centres;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    const QXmlStreamAttributes a = xml.attributes();
    if (xml.name() == u"circle")
      centres.emplace_back(a.value("cx").toDouble(), a.value("cy").toDouble());
    if (xml.name() == u"path") {
      const QStringList d = a.value("d").toString().split(' ');
      for (int k = 0; k + 2 < d.size(); k += 3) vertices.emplace_back(d[k + 1].toDouble(), d[k + 2].toDouble());
    }
  }
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  return centres;
}

point_list bvl_points(const QString& path)
{
  vsl_binary_loader<vsml_points>& loader = vsl_binary_loader<vsml_points>::instance();
  if (loader.object().empty()) loader.add(vsml_points_2d());
  vsl_b_ifstream is(QFile::encodeName(path).toStdString());
  vsml_points* read = nullptr;
  loader.load_object(is, read);
  std::unique_ptr<vsml_points> owned(read);
  point_list pts;
  if (auto* p2 = dynamic_cast<vsml_points_2d*>(read)) p2->getPoints2D(pts);
  EXPECT_TRUE(!!is);
  return pts;
}
}  // namespace

TEST(TessalySnakeCli, EveryOutputOfTheStartImageRunHoldsTheSamePointsOnTheDisc)
{
  QTemporaryDir dir;
  const QString start = dir.filePath("start.png"), out = dir.filePath("out/");
  ASSERT_EQ(run_tessaly_snake({"--make-start-image", start}).code, 0);
  const tessaly_snake_ran r = run_tessaly_snake(
      {"--points", "170,70 230,160 120,170", "-o", out + "%n.csv", "-o", out + "%n.json", "-o",
       out + "%n.svg", "-o", out + "%n.bvl", "--overlay", out + "%n.png", "--frames", out + "frames",
       "--trace", out + "trace.csv", start});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();

  const point_list pts = read_points_csv(out + "start.csv");
  ASSERT_GE(pts.size(), 40u);
  for (const auto& p : pts)
    EXPECT_LE(std::fabs(std::hypot(p.x() - 170.0, p.y() - 125.0) - 40.0), 2.5) << p.x() << ", " << p.y();
  int width = 0;
  EXPECT_EQ(json_points(out + "start.json", width), pts);
  EXPECT_EQ(width, 250);
  point_list vertices;
  EXPECT_EQ(svg_points(out + "start.svg", vertices), pts);
  EXPECT_EQ(vertices, pts);
  EXPECT_EQ(bvl_points(out + "start.bvl"), pts);

  // One frame a step, the last one the final overlay; one trace row a step.
  const QStringList frames = QDir(out + "frames").entryList(QDir::Files, QDir::Name);
  ASSERT_EQ(frames.size(), 100);
  EXPECT_EQ(frames.back(), "frame-100.png");
  EXPECT_EQ(contents(out + "frames/frame-100.png"), contents(out + "start.png"));
  const QList<QByteArray> trace = contents(out + "trace.csv").trimmed().split('\n');
  ASSERT_EQ(trace.size(), 101);
  EXPECT_EQ(trace.back().split(',').mid(0, 3), (QList<QByteArray>{"10", "10", QByteArray::number(qsizetype(pts.size()))}));
  EXPECT_TRUE(QDir(out).entryList(QDir::Hidden | QDir::Files).filter(QRegularExpression("^\\.")).isEmpty());

  // The points read back as start points, and several images at once give
  // what one alone does.
  for (const char* again : {"start.csv", "start.bvl"}) {
    const tessaly_snake_ran back = run_tessaly_snake({"--points-file", out + again, "--passes", "0", "-o", dir.filePath("back.csv"), start});
    EXPECT_EQ(back.code, 0) << again << back.err.toStdString();
    EXPECT_EQ(read_points_csv(dir.filePath("back.csv")), pts) << again;
  }
  QStringList many = {"-j", "2", "--points", "170,70 230,160 120,170", "-o", dir.filePath("j/%n.csv")};
  for (const char* name : {"a.png", "b.png", "c.png"}) {
    ASSERT_TRUE(QFile::copy(start, dir.filePath(name)));
    many << dir.filePath(name);
  }
  ASSERT_EQ(run_tessaly_snake(many).code, 0);
  for (const char* name : {"a.csv", "b.csv", "c.csv"}) EXPECT_EQ(read_points_csv(dir.filePath("j/") + name), pts) << name;
}

TEST(TessalySnakeCli, BadInputGetsItsExitCodeAndAMessageNamingTheFileAndReason)
{
  QTemporaryDir dir;
  auto at = [&dir](const char* name) { return dir.filePath(name); };
  const QString good = at("good.png"), pts = "170,70 230,160 120,170";
  ASSERT_EQ(run_tessaly_snake({"--make-start-image", good}).code, 0);
  vil_image_view<vxl_uint_16> deep(8, 8, 1);
  deep.fill(40000);
  ASSERT_TRUE(vil_save(deep, QFile::encodeName(at("deep.png")).constData()));
  ASSERT_EQ(run_tessaly_snake({"--points", pts, "-o", at("one.bvl"), good}).code, 0);
  const std::pair<const char*, QByteArray> files[] = {
      {"notes.txt", "not an image\n"}, {"bad.csv", "x,y\n1,2\n3;4\n5,6\n"},
      {"cut.bvl", contents(at("one.bvl")).left(30)}, {"blocker", "a file"}};
  for (const auto& [name, bytes] : files) {
    QFile f(at(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  const struct
  {
    const char* name;
    QStringList args;
    int code;
    QStringList said;  // each in the messages
  } cases[] = {
      {"no image", {"--points", pts}, 2, {"no image"}},
      {"weight beyond the slider", {"--weight", "101", "--points", pts, good}, 2, {"--weight", "101"}},
      {"unknown option", {"--wait", "5", good}, 2, {"--wait"}},
      {"two points", {"--points", "1,2 3,4", good}, 2, {"--points", "at least 3"}},
      {"not a point", {"--points", "1,2 a,b 3,4", good}, 2, {"a,b"}},
      {"points file line", {"--points-file", at("bad.csv"), good}, 2, {"bad.csv", "line 3"}},
      {"points record cut", {"--points-file", at("cut.bvl"), good}, 2, {"cut.bvl"}},
      {"unknown output format", {"--points", pts, "-o", at("x.txt"), good}, 2, {"x.txt", ".csv"}},
      {"several images, one name", {"--points", pts, "-o", at("x.csv"), good, good}, 2, {"%n"}},
      {"overlay over its image", {"--points", pts, "--overlay", good, good}, 2, {"good.png", "write over"}},
      {"not an image", {"--points", pts, "-o", at("n.csv"), at("notes.txt")}, 1, {"notes.txt", "not an image file"}},
      {"16-bit pixels", {"--points", pts, "-o", at("d.csv"), at("deep.png")}, 1, {"deep.png", "8-bit"}},
      {"missing image, the other done", {"--points", pts, "-o", at("m/%n.csv"), at("gone.png"), good}, 1, {"gone.png", "No such file", "1 done, 1 failed"}},
      {"output cannot be written", {"--points", pts, "-o", at("blocker/x.csv"), good}, 1, {"blocker/x.csv", "cannot"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const tessaly_snake_ran r = run_tessaly_snake(c.args);
    EXPECT_EQ(r.code, c.code) << r.err.toStdString();
    for (const QString& s : c.said) EXPECT_TRUE(r.err.contains(s)) << s.toStdString() << " not in " << r.err.toStdString();
  }
  // Nothing half-written, nothing for the images that failed.
  EXPECT_TRUE(QFile::exists(at("m/good.csv")));
  for (const char* never : {"n.csv", "d.csv", "x.csv", "x.txt", "m/gone.csv"}) EXPECT_FALSE(QFile::exists(at(never))) << never;
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).filter(QRegularExpression("^\\.")).isEmpty());
}
