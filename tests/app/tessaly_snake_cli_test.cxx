// tessaly-snake end to end: the real program on files made here, each output
// read back by a real parser.  (Its agreement with the window is checked with
// the window's run tests.)
#include <cmath>
#include <csignal>
#include <iostream>
#include <memory>
#include <sched.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <QDir>
#include <QSet>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <cli/cli_memory_budget.h>
#include <cli/cli_options.h>
#include <cli/cli_progress.h>
#include <gtest/gtest.h>
#include <shape_data/vsml_points_2d.h>
#include "support/in_child.h"
#include "support/tessaly_snake_cli.h"
#include <vil/vil_image_view.h>
#include <vil/vil_load.h>
#include <vil/vil_save.h>
#include <vsl/vsl_b_ifstream.h>
#include <vsl/vsl_binary_loader.h>

namespace
{
using point_list = std::vector<vgl_point_2d<double>>;

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

  // The points read back as start points, from a file or a pipe, and several
  // images at once give what one alone does.
  const std::pair<QString, QByteArray> again[] = {{out + "start.csv", {}}, {out + "start.bvl", {}},
      {"-", contents(out + "start.csv")}, {"/dev/stdin", contents(out + "start.bvl")}};
  for (const auto& [file, input] : again) {
    const tessaly_snake_ran back = run_tessaly_snake({"--points-file", file, "--passes", "0", "-o", dir.filePath("back.csv"), start}, input);
    EXPECT_EQ(back.code, 0) << file.toStdString() << back.err.toStdString();
    EXPECT_EQ(read_points_csv(dir.filePath("back.csv")), pts) << file.toStdString();
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
  vil_image_view<vxl_uint_16> deep(250, 250, 1);
  deep.fill(40000);
  ASSERT_TRUE(vil_save(deep, QFile::encodeName(at("deep.png")).constData()));
  ASSERT_EQ(run_tessaly_snake({"--points", pts, "-o", at("one.bvl"), good}).code, 0);
  ASSERT_TRUE(QDir(dir.path()).mkpath("f") && QFile::copy(good, at("f/frame-001.png")));
  const std::pair<const char*, QByteArray> files[] = {
      {"notes.txt", "not an image\n"}, {"bad.csv", "x,y\n1,2\n3;4\n5,6\n"},
      {"cut.bvl", contents(at("one.bvl")).left(30)}, {"blocker", "a file"}, {"flat.pgm", "P5 20 20 255\n" + QByteArray(400, 90)}};
  for (const auto& [name, bytes] : files) ASSERT_TRUE(write_contents(at(name), bytes)) << name;
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
      {"pressure beyond the slider", {"--pressure", "-101", "--points", pts, good}, 2, {"--pressure", "-101"}},
      {"smoothing given twice over", {"--smooth", "10", "--smooth-px", "3", "--points", pts, good}, 2, {"--smooth-px"}},
      {"smoothing width not a number", {"--smooth-px", "nan", "--points", pts, good}, 2, {"--smooth-px", "nan"}},
      {"two points", {"--points", "1,2 3,4", good}, 2, {"--points", "at least 3"}},
      {"not a point", {"--points", "1,2 a,b 3,4", good}, 2, {"a,b"}},
      {"points file line", {"--points-file", at("bad.csv"), good}, 2, {"bad.csv", "line 3"}},
      {"points record cut", {"--points-file", at("cut.bvl"), good}, 2, {"cut.bvl"}},
      {"unknown output format", {"--points", pts, "-o", at("x.txt"), good}, 2, {"x.txt", ".csv"}},
      {"several images, one name", {"--points", pts, "-o", at("x.csv"), good, good}, 2, {"%n"}},
      {"overlay over its image", {"--points", pts, "--overlay", good, good}, 2, {"good.png", "write over"}},
      {"not an image", {"--points", pts, "-o", at("n.csv"), at("notes.txt")}, 1, {"notes.txt", "not an image file"}},
      {"16-bit image over the budget", {"--points", pts, "--memory", "100K", "-o", at("d.csv"), at("deep.png")}, 1, {"deep.png", "610 KiB"}},
      {"zoomed overlay over the budget", {"--points", pts, "--memory", "2M", "--overlay-zoom", "8", "--overlay", at("z.png"), good}, 1, {"good.png", "--overlay-zoom"}},
      {"unknown overlay style", {"--overlay-style", "dots", "--points", pts, good}, 2, {"--overlay-style", "dots"}},
      {"a start file per image with --track", {"--track", "--points-file", at("%n.csv"), "-o", at("t%i.csv"), good}, 2, {"%n", "--track"}},
      {"missing image, the other done", {"--points", pts, "-o", at("m/%n.csv"), at("gone.png"), good}, 1, {"gone.png", "No such file", "1 done, 1 failed"}},
      {"output cannot be written", {"--points", pts, "-o", at("blocker/x.csv"), good}, 1, {"blocker/x.csv", "cannot"}},
      {"unknown option in a group", {"-xh"}, 2, {"unknown option -x"}},
      {"ambiguous option", {"--s", "5", good}, 2, {"--s", "ambiguous"}},
      {"no name before the extension", {"--points", pts, "-o", at(".csv"), good}, 2, {".csv", "no file name"}},
      {"a second --points", {"--points", pts, "--points", "1,1 9,1 5,9", good}, 2, {"--points", "twice"}},
      {"start points absurdly far out", {"--points", "9e307,0 -9e307,0 0,1", "-o", at("far.json"), good}, 2, {"good.png", "10 image sizes"}},
      {"output over the points file", {"--points-file", at("one.bvl"), "-o", at("one.bvl"), good}, 2, {"one.bvl", "write over"}},
      {"frames over an input", {"--points", pts, "--frames", at("f"), at("f/frame-001.png")}, 2, {"frame-001.png", "write over"}},
      {"frames over the overlay", {"--points", pts, "--frames", at("g"), "--overlay", at("g/frame-005.png"), good}, 2, {"frame-005.png", "write over"}},
      {"more memory than the budget", {"--points", pts, "--memory", "100K", "-o", at("mem.csv"), good}, 1, {"good.png", "549 KiB", "100 KiB"}},
      {"collapsed: too few segments", {"--points", pts, "--max-segments", "2", "-o", at("two.csv"), good}, 1, {"collapsed", "--max-segments"}},
      {"collapsed: start on one line", {"--points", "10,10 20,20 30,30", "-o", at("line.csv"), good}, 1, {"collapsed", "one line"}},
      {"flat image: energy undefined", {"--points", "5,5 15,5 10,15", "--trace", at("flat.csv"), at("flat.pgm")}, 0, {}},
      {"%i without --track", {"--points", pts, "-o", at("t/%i.csv"), good}, 2, {"t/%i.csv", "needs --track"}},
      {"a sequence's frames over its overlays", {"--track", "--points", pts, "--frames", at("tf"), "--overlay", at("tf/%i-step-100.png"), good, good}, 2, {"1-step-100.png", "write over"}},
      {"measures named per image", {"--points", pts, "--measures", at("%n.csv"), good}, 2, {"--measures", "%n"}},
      {"a sequence with a missing frame", {"--track", "--points", pts, "-o", at("s/%i.csv"), good, at("gone.png"), good}, 1, {"gone.png", "frame 2", "nothing was run"}},
      {"a sequence's names without %i", {"--track", "--points", pts, "-o", at("s.csv"), good, good}, 2, {"s.csv", "%i"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const tessaly_snake_ran r = run_tessaly_snake(c.args);
    EXPECT_EQ(r.code, c.code) << r.err.toStdString();
    for (const QString& s : c.said) EXPECT_TRUE(r.err.contains(s)) << s.toStdString() << " not in " << r.err.toStdString();
    // Each fault said once, in the program's own words.
    const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
    EXPECT_TRUE(QSet<QString>(lines.begin(), lines.end()).size() == lines.size() &&
                lines.filter(QRegularExpression("^(tessaly-snake: |Try )")).size() == lines.size()) << r.err.toStdString();
  }
  // Nothing half-written, nothing for the images that failed; a collapsed
  // snake's outputs are still there to look at; never "nan".
  EXPECT_TRUE(QFile::exists(at("m/good.csv")));
  for (const char* never : {"n.csv", "d.csv", "x.csv", "x.txt", "m/gone.csv", ".csv", "far.json", "mem.csv", "s/1.csv", "s.csv", "z.png"}) EXPECT_FALSE(QFile::exists(at(never))) << never;
  for (const char* kept : {"two.csv", "line.csv"}) EXPECT_TRUE(QFile::exists(at(kept))) << kept;
  EXPECT_EQ(contents(at("flat.csv")).count(",,0\n"), 100);  // the energy left empty, before the pressure
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).filter(QRegularExpression("^\\.")).isEmpty());
  // A failed write to standard output is a failure too.
  for (const QStringList& args : {QStringList{"--points", pts, good}, QStringList{"--help"}}) {
    const tessaly_snake_ran r = run_tessaly_snake(args, {}, "/dev/full");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("standard output: No space")) << r.err.toStdString();
  }
}

// Every kind of file the program writes goes through the one writer: a link
// is followed and kept, a device written in place.  (The writer's rules are
// its own test's.)
TEST(TessalySnakeCli, EveryKindOfOutputGoesThroughTheWriter)
{
  QTemporaryDir dir;
  auto at = [&dir](const QString& name) { return dir.filePath(name); };
  // A device of our own as root, so that a fault cannot replace /dev/null
  // (none where devices cannot be made: that output is then left out).
  std::string device = "/dev/null";
  if (::geteuid() == 0)
    device = ::mknod(QFile::encodeName(at("null")).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0 ? at("null").toStdString() : "";
  const std::pair<const char*, const char*> links[] = {{"points.csv", "x,y\n"}, {"overlay.png", "\x89PNG"}, {"start.png", "\x89PNG"}};
  for (const auto& [name, head] : links) ASSERT_TRUE(QFile::link(at(QString("to-") + name), at(name)));
  ASSERT_EQ(run_tessaly_snake({"--make-start-image", at("start.png")}).code, 0);
  QStringList args = {"--points", "170,70 230,160 120,170", "--passes", "1", "-o", at("points.csv"), "--overlay", at("overlay.png"), at("start.png")};
  if (!device.empty()) args << "--trace" << QString::fromStdString(device);
  const tessaly_snake_ran r = run_tessaly_snake(args);
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  for (const auto& [name, head] : links)
    EXPECT_TRUE(!QFile::symLinkTarget(at(name)).isEmpty() && contents(at(QString("to-") + name)).startsWith(head)) << name;
  struct stat st = {};
  EXPECT_TRUE(device.empty() || (::stat(device.c_str(), &st) == 0 && S_ISCHR(st.st_mode)));
}

TEST(TessalySnakeCli, CtrlCAndSigtermLeaveNoTemporaries)
{
  QTemporaryDir dir;
  const QString start = dir.filePath("start.png"), frames = dir.filePath("frames");
  ASSERT_EQ(run_tessaly_snake({"--make-start-image", start}).code, 0);
  for (const auto& [sig, name] : {std::pair(SIGINT, "SIGINT"), std::pair(SIGTERM, "SIGTERM")}) {
    SCOPED_TRACE(name);
    QStringList cmd = tessaly_snake_command({"--points", "170,70 230,160 120,170", "--passes", "100", "--frames", frames, start});
    QProcess p;
    p.start(cmd.takeFirst(), cmd);
    ASSERT_TRUE(p.waitForStarted());
    // Stopped while it writes its frames.
    for (int k = 0; k < 6000 && QDir(frames).entryList(QDir::Files).size() < 3; ++k) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::kill(p.processId(), sig);
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 128 + sig) << p.exitCode();
    EXPECT_TRUE(err.startsWith(QString("tessaly-snake: stopped by ") + name) && err.count('\n') == 1) << err.toStdString();
    EXPECT_TRUE(QDir(frames).entryList(QDir::Hidden | QDir::Files).filter(QRegularExpression("^\\.")).isEmpty());
    QDir(frames).removeRecursively();
  }
  // A job that fails as the writer stops says nothing after that line.
  cli_progress report(1);
  std::ostringstream said;
  std::streambuf* const was = std::cerr.rdbuf(said.rdbuf());
  report.last_line("stopped by SIGTERM");
  report.complain("frame-004.png", "the program is stopping");
  report.summary(1);
  std::cerr.rdbuf(was);
  EXPECT_EQ(said.str(), "tessaly-snake: stopped by SIGTERM\n");
}

// An allocation that fails fails its image, not the batch.
TEST(TessalySnakeCli, AnImageWhoseMemoryCannotBeHadFailsAlone)
{
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer reserves more address space than the limit leaves";
#endif
  if (!QStringLiteral(TESSALY_SNAKE_EMULATOR).isEmpty()) GTEST_SKIP() << "the limit would apply to the emulator";
  QTemporaryDir dir;
  const QString small = dir.filePath("small.png"), large = dir.filePath("large.png");
  ASSERT_EQ(run_tessaly_snake({"--make-start-image", small}).code, 0);
  vil_image_view<vxl_byte> im(8000, 8000, 1);
  im.fill(40);
  ASSERT_TRUE(vil_save(im, QFile::encodeName(large).constData()));
  // The budget allows what the address space does not.
  QProcess p;
  p.start("sh", QStringList{"-c", "ulimit -v 400000 && exec \"$@\"", "sh"} +
                    tessaly_snake_command({"-j", "1", "--memory", "1T", "--points", "170,70 230,160 120,170", "-o",
                                           dir.filePath("%n.csv"), large, small}));
  ASSERT_TRUE(p.waitForFinished(120000));
  const QString err = QString::fromUtf8(p.readAllStandardError());
  EXPECT_TRUE(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 1 && err.contains("large.png: not enough memory") &&
              err.contains("1 done, 1 failed")) << err.toStdString();
  EXPECT_TRUE(QFile::exists(dir.filePath("small.csv")));
}

TEST(TessalySnakeCli, JobsWaitForTheirMemoryAndRunOnTheAllowedProcessors)
{
  cli_memory_budget budget(100);
  ASSERT_TRUE(budget.take(60));
  std::thread t([&] { std::this_thread::sleep_for(std::chrono::milliseconds(100)); budget.give(60); });
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_TRUE(budget.take(60));  // once the other share is given back
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(90));
  t.join();
  // -j's default under `taskset -c 0`.
  EXPECT_TRUE(in_child([] {
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(0, &one);
    return ::sched_setaffinity(0, sizeof one, &one) == 0 && cli_default_jobs() == 1;
  }));
}

// A 16-bit PNG and PGM, a float TIFF (with NaN and -inf in a corner) and a
// colour double TIFF of the start image, scaled, run as the 8-bit image
// does, each from its own start file; an image without its file fails alone.
TEST(TessalySnakeCli, DeepImagesRunLikeTheirEightBitImageEachFromItsOwnStartFile)
{
  QTemporaryDir dir;
  auto at = [&dir](const QString& name) { return dir.filePath(name); };
  ASSERT_EQ(run_tessaly_snake({"--make-start-image", at("start.png")}).code, 0);
  const vil_image_view<vxl_byte> start = vil_load(QFile::encodeName(at("start.png")).constData());
  vil_image_view<vxl_uint_16> deep(250, 250, 1);
  vil_image_view<float> real(250, 250, 1);
  vil_image_view<double> colour(250, 250, 3);
  for (unsigned j = 0; j < 250; ++j)
    for (unsigned i = 0; i < 250; ++i) {
      deep(i, j) = vxl_uint_16(start(i, j) * 200 + 17);
      real(i, j) = i + j < 3 ? (i ? -INFINITY : NAN) : start(i, j) / 255.0f * 3.5f - 1.0f;
      for (unsigned p = 0; p < 3; ++p) colour(i, j, p) = start(i, j) * 1e-5 * (p + 1);
    }
  for (const auto& [image, name] : {std::pair<const vil_image_view_base*, const char*>{&deep, "deep.png"}, {&deep, "deep16.pgm"},
                                    {&real, "real.tif"}, {&colour, "colour.tif"}})
    ASSERT_TRUE(vil_save(*image, QFile::encodeName(at(name)).constData())) << name;
  ASSERT_TRUE(QDir(dir.path()).mkpath("starts") && QFile::copy(at("start.png"), at("lonely.png")));
  for (const char* name : {"start", "deep", "deep16", "real", "colour"})
    ASSERT_TRUE(write_contents(at(QString("starts/") + name + ".csv"), "170,70\n230,160\n120,170\n"));
  const tessaly_snake_ran r = run_tessaly_snake({"--points-file", at("starts/%n.csv"), "-o", at("out/%n.csv"), "-o", at("out/%n.json"),
                                                 at("start.png"), at("deep.png"), at("deep16.pgm"), at("real.tif"),
                                                 at("colour.tif"), at("lonely.png")});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(r.err.contains(at("starts/lonely.csv") + ": ") && r.err.contains("5 done, 1 failed")) << r.err.toStdString();
  EXPECT_FALSE(QFile::exists(at("out/lonely.csv")));

  const point_list eight = read_points_csv(at("out/start.csv"));
  ASSERT_GE(eight.size(), 40u);
  const struct
  {
    const char* name;
    double lo, hi;  // what became 0 and 255
  } deeps[] = {{"deep", 30 * 200 + 17, 250 * 200 + 17}, {"deep16", 30 * 200 + 17, 250 * 200 + 17},
               {"real", 30 / 255.0f * 3.5f - 1.0f, 250 / 255.0f * 3.5f - 1.0f},
               {"colour", 30 * 1e-5, 250 * 1e-5 * 3}};  // over all planes
  for (const auto& d : deeps) {
    SCOPED_TRACE(d.name);
    const point_list pts = read_points_csv(at("out/") + d.name + ".csv");
    ASSERT_EQ(pts.size(), eight.size());
    for (std::size_t k = 0; k < pts.size(); ++k) EXPECT_LE((pts[k] - eight[k]).length(), 0.5) << k;
    const QJsonArray from = QJsonDocument::fromJson(contents(at("out/") + d.name + ".json"))["stretched_from"].toArray();
    EXPECT_EQ(from, (QJsonArray{d.lo, d.hi}));
  }
  EXPECT_TRUE(QJsonDocument::fromJson(contents(at("out/start.json")))["stretched_from"].isNull());
}
