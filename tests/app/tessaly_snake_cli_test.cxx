// tessaly-snake end to end: the real program on files made here, each output
// read back by a real parser.  (Its agreement with the window is checked with
// the window's run tests.)
#include <atomic>
#include <cmath>
#include <csignal>
#include <functional>
#include <iostream>
#include <memory>
#include <sched.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <tuple>
#include <QDir>
#include <QSet>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <QXmlStreamReader>
#include <cli/cli_memory_budget.h>
#include <cli/cli_options.h>
#include <cli/cli_progress.h>
#include <gtest/gtest.h>
#include <shape_data/vsml_points_2d.h>
#include "support/in_child.h"
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
  vil_image_view<vxl_byte> flat(20, 20, 1);
  flat.fill(90);
  ASSERT_TRUE(vil_save(flat, QFile::encodeName(at("flat.png")).constData()));
  ASSERT_TRUE(QDir(dir.path()).mkpath("f") && QFile::copy(good, at("f/frame-001.png")));
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
      {"collapsed: spacing beyond the curve", {"--points", pts, "--spacing", "1e9", "-o", at("wide.csv"), good}, 1, {"collapsed", "--spacing"}},
      {"collapsed: start on one line", {"--points", "10,10 20,20 30,30", "-o", at("line.csv"), good}, 1, {"collapsed", "one line"}},
      {"flat image: energy undefined", {"--points", "5,5 15,5 10,15", "--trace", at("flat.csv"), at("flat.png")}, 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const tessaly_snake_ran r = run_tessaly_snake(c.args);
    EXPECT_EQ(r.code, c.code) << r.err.toStdString();
    for (const QString& s : c.said) EXPECT_TRUE(r.err.contains(s)) << s.toStdString() << " not in " << r.err.toStdString();
    // Each fault said once, in the program's own words.
    const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), QSet<QString>(lines.begin(), lines.end()).size()) << r.err.toStdString();
    for (const QString& line : lines) EXPECT_TRUE(line.startsWith("tessaly-snake: ") || line.startsWith("Try ")) << line.toStdString();
  }
  // Nothing half-written, nothing for the images that failed; a collapsed
  // snake's outputs are still there to look at; never "nan".
  EXPECT_TRUE(QFile::exists(at("m/good.csv")));
  for (const char* never : {"n.csv", "d.csv", "x.csv", "x.txt", "m/gone.csv", ".csv", "far.json", "mem.csv"}) EXPECT_FALSE(QFile::exists(at(never))) << never;
  for (const char* kept : {"two.csv", "wide.csv", "line.csv"}) EXPECT_TRUE(QFile::exists(at(kept))) << kept;
  EXPECT_EQ(contents(at("flat.csv")).count('\n'), 101);
  EXPECT_FALSE(contents(at("flat.csv")).contains("nan"));
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).filter(QRegularExpression("^\\.")).isEmpty());
}

namespace
{
// A scratch folder that another user may work in too.
struct open_scratch
{
  QTemporaryDir dir;
  open_scratch() { ::chmod(QFile::encodeName(dir.path()).constData(), 0777); }
  std::string at(const std::string& name) const { return QFile::encodeName(dir.filePath(QString::fromStdString(name))).toStdString(); }
};

// The program's exit code run as user `as` (when the test runs as root),
// -1 when it did not exit.
int run_as(uid_t as, const QStringList& args)
{
  std::vector<QByteArray> words;
  for (const QString& a : tessaly_snake_command(args)) words.push_back(QFile::encodeName(a));
  std::vector<char*> argv;
  for (QByteArray& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0 && as != 0 && (::setgid(as) != 0 || ::setuid(as) != 0)) ::_exit(126);
    ::freopen("/dev/null", "w", stderr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void put(const std::string& path, const char* text, mode_t mode)
{
  QFile f(QString::fromStdString(path));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text);
  f.close();
  ::chmod(path.c_str(), mode);
}

mode_t mode_of(const std::string& path)
{
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

QStringList hidden_files(const std::string& dir)
{
  return QDir(QString::fromStdString(dir)).entryList(QDir::Hidden | QDir::Files).filter(QRegularExpression("^\\."));
}
}  // namespace

// Every kind of file the program writes goes through the one safe writer.
TEST(TessalySnakeCli, EveryFileIsWrittenWholeByTheRulesOfASave)
{
  ::umask(022);
  open_scratch s;
  const std::string start = s.at("start.png");
  ASSERT_EQ(run_tessaly_snake({"--make-start-image", QString::fromStdString(start)}).code, 0);
  // A device of our own as root, so that a fault cannot replace /dev/null
  // (none where devices cannot be made: that row is then left out).
  std::string device = "/dev/null";
  if (::geteuid() == 0) device = ::mknod(s.at("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0 ? s.at("null") : "";
  ::mkdir(s.at("shut").c_str(), 0755);
  const std::string long_name = s.at(std::string(246, 'n') + ".png");
  auto q = [](const std::string& p) { return QString::fromStdString(p); };
  auto starts = [&](const std::string& p, const char* head) { return contents(q(p)).startsWith(head); };
  const uid_t nobody = tessaly_test_nobody;
  const struct
  {
    const char* name;
    std::function<void()> setup;
    QStringList output;  // the option and the name given
    uid_t as;
    int code;
    std::function<bool()> holds;
  } cases[] = {
      {"--trace to a device keeps the device", [] {}, {"--trace", q(device)}, 0, 0,
       [&] { return S_ISCHR(mode_of(device)); }},
      {"a link: its target is written", [&] { put(s.at("target.csv"), "old", 0644); ::symlink("target.csv", s.at("live.csv").c_str()); },
       {"-o", q(s.at("live.csv"))}, 0, 0, [&] { return S_ISLNK(mode_of(s.at("live.csv"))) && starts(s.at("target.csv"), "x,y\n"); }},
      {"a dangling link: its target is made", [&] { ::symlink("made.png", s.at("dangling.png").c_str()); },
       {"--overlay", q(s.at("dangling.png"))}, 0, 0, [&] { return S_ISLNK(mode_of(s.at("dangling.png"))) && starts(s.at("made.png"), "\x89PNG"); }},
      {"a read-only file is refused", [&] { put(s.at("readonly.json"), "kept", 0444); }, {"-o", q(s.at("readonly.json"))}, nobody, 1,
       [&] { return contents(q(s.at("readonly.json"))) == "kept"; }},
      {"a replaced file keeps its mode", [&] { put(s.at("private.csv"), "old", 0600); }, {"-o", q(s.at("private.csv"))}, 0, 0,
       [&] { return (mode_of(s.at("private.csv")) & 07777) == 0600 && starts(s.at("private.csv"), "x,y\n"); }},
      {"a writable file in a folder that is not is written in place", [&] { put(s.at("shut/open.csv"), "old", 0666); },
       {"--trace", q(s.at("shut/open.csv"))}, nobody, 0, [&] { return starts(s.at("shut/open.csv"), "pass,step"); }},
      {"a name of 250 characters", [] {}, {"--make-start-image", q(long_name)}, 0, 0, [&] { return starts(long_name, "\x89PNG"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.output[1].isEmpty()) continue;
    c.setup();
    QStringList args = c.output;
    if (args[0] != "--make-start-image") args << "--points" << "170,70 230,160 120,170" << "--passes" << "1" << q(start);
    EXPECT_EQ(run_as(c.as, args), c.code);
    EXPECT_TRUE(c.holds());
  }
  EXPECT_EQ(hidden_files(s.at("")) + hidden_files(s.at("shut")), QStringList());
}

TEST(TessalySnakeCli, StandardInputAndOutput)
{
  QTemporaryDir dir;
  const QString start = dir.filePath("start.png"), pts = "170,70 230,160 120,170";
  ASSERT_EQ(run_tessaly_snake({"--make-start-image", start}).code, 0);
  const tessaly_snake_ran expected = run_tessaly_snake({"--points", pts, start});
  ASSERT_EQ(expected.code, 0);
  const QByteArray csv = "x,y\n170,70\n230,160\n120,170\n";
  const struct
  {
    const char* name;
    QStringList args;
    QByteArray input;
    QString out_file;
    int code;
    const char* said;
  } cases[] = {
      {"points from standard input", {"--points-file", "-", start}, csv, "", 0, ""},
      {"points from /dev/stdin, a pipe", {"--points-file", "/dev/stdin", start}, csv, "", 0, ""},
      {"points into a full disk", {"--points", pts, start}, "", "/dev/full", 1, "standard output: No space"},
      {"help into a full disk", {"--help"}, "", "/dev/full", 1, "standard output: No space"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const tessaly_snake_ran r = run_tessaly_snake(c.args, c.input, c.out_file);
    EXPECT_EQ(r.code, c.code) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(c.said)) << r.err.toStdString();
    if (c.out_file.isEmpty()) EXPECT_EQ(r.out, expected.out);
  }
}

TEST(TessalySnakeCli, CtrlCAndSigtermLeaveNoTemporaries)
{
  QTemporaryDir dir;
  vil_image_view<vxl_byte> big(700, 700, 3);
  for (unsigned j = 0; j < big.nj(); ++j)
    for (unsigned i = 0; i < big.ni(); ++i)
      for (unsigned p = 0; p < 3; ++p) big(i, j, p) = vxl_byte((i * 7 + j * 13 + p * 51) ^ (i * j));
  const QString image = dir.filePath("big.png"), frames = dir.filePath("frames");
  ASSERT_TRUE(vil_save(big, QFile::encodeName(image).constData()));
  for (const auto& [sig, code, name] : {std::make_tuple(SIGINT, 130, "SIGINT"), std::make_tuple(SIGTERM, 143, "SIGTERM")}) {
    SCOPED_TRACE(name);
    QStringList cmd = tessaly_snake_command({"--points", "100,100 600,100 350,600", "--frames", frames, image});
    QProcess p;
    p.start(cmd.takeFirst(), cmd);
    ASSERT_TRUE(p.waitForStarted());
    // Stopped while it writes its frames.
    for (int k = 0; k < 6000 && QDir(frames).entryList(QDir::Files).size() < 3; ++k) QThread::msleep(10);
    ::kill(p.processId(), sig);
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), code);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(err.startsWith(QString("tessaly-snake: stopped by ") + name) && err.count('\n') == 1) << err.toStdString();
    EXPECT_LT(QDir(frames).entryList(QDir::Files).size(), 100);
    EXPECT_EQ(hidden_files(QFile::encodeName(frames).toStdString()), QStringList());
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
  QStringList cmd = {"-c", "ulimit -v 400000 && exec \"$@\"", "sh"};
  cmd << tessaly_snake_command({"-j", "1", "--memory", "1T", "--points", "170,70 230,160 120,170", "-o",
                                dir.filePath("%n.csv"), large, small});
  QProcess p;
  p.start("sh", cmd);
  ASSERT_TRUE(p.waitForFinished(120000));
  const QString err = QString::fromUtf8(p.readAllStandardError());
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
  EXPECT_TRUE(err.contains("large.png: not enough memory") && err.contains("1 done, 1 failed")) << err.toStdString();
  EXPECT_TRUE(QFile::exists(dir.filePath("small.csv")));
}

TEST(TessalySnakeCli, JobsWaitForTheirMemoryAndRunOnTheAllowedProcessors)
{
  cli_memory_budget budget(100);
  EXPECT_FALSE(budget.take(101));
  ASSERT_TRUE(budget.take(60));
  std::atomic<bool> second{false};
  std::thread t([&] { second = budget.take(60); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(second);
  budget.give(60);
  t.join();
  EXPECT_TRUE(second);

  // -j's default under `taskset -c 0`.
  EXPECT_TRUE(in_child([] {
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(0, &one);
    const char* words[] = {"tessaly-snake", "--points", "1,1 9,1 5,9", "x.png"};
    cli_options opt;
    std::string error;
    return ::sched_setaffinity(0, sizeof one, &one) == 0 &&
           parse_cli_options(4, const_cast<char**>(words), opt, error) && opt.jobs == 1;
  }));
}
