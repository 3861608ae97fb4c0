#ifndef tessaly_tests_support_tessaly_snake_cli_h_
#define tessaly_tests_support_tessaly_snake_cli_h_
// Running the built tessaly-snake, and reading back the files and points it
// writes.
#include <cstdio>
#include <vector>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>
#include <vgl/vgl_point_2d.h>

struct tessaly_snake_ran
{
  int code;  // -1 when it crashed or hung
  QString out, err;
};

// The command that starts the program: a cross build's runs through the
// emulator its tests run under.
inline QStringList tessaly_snake_command(const QStringList& args)
{
  QStringList cmd;
#ifdef TESSALY_SNAKE_EMULATOR
  cmd = QStringLiteral(TESSALY_SNAKE_EMULATOR).split('|', Qt::SkipEmptyParts);
#endif
  return cmd << QStringLiteral(TESSALY_SNAKE_EXE) << args;
}

// input is its standard input; its standard output goes to out_file when
// one is named.
inline tessaly_snake_ran run_tessaly_snake(const QStringList& args, const QByteArray& input = QByteArray(),
                                           const QString& out_file = QString())
{
  QStringList cmd = tessaly_snake_command(args);
  QProcess p;
  if (!out_file.isEmpty()) p.setStandardOutputFile(out_file);
  p.start(cmd.takeFirst(), cmd);
  p.write(input);
  p.closeWriteChannel();
  const bool ended = p.waitForFinished(120000);
  const bool normal = ended && p.exitStatus() == QProcess::NormalExit;
  return {normal ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
          QString::fromUtf8(p.readAllStandardError())};
}

// A file's bytes, none when it cannot be read; and bytes written as a
// whole file.
inline QByteArray contents(const QString& path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool write_contents(const QString& path, const QByteArray& bytes)
{
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// "x,y x,y ...", every number as it is.
inline QString points_arg(const std::vector<vgl_point_2d<double>>& pts)
{
  QStringList out;
  char buf[80];
  for (const vgl_point_2d<double>& p : pts) {
    std::snprintf(buf, sizeof buf, "%.17g,%.17g", p.x(), p.y());
    out << buf;
  }
  return out.join(' ');
}

// The points of a CSV file: a line "x,y", then one line a point.
inline std::vector<vgl_point_2d<double>> read_points_csv(const QString& path)
{
  std::vector<vgl_point_2d<double>> pts;
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
  EXPECT_EQ(f.readLine(), "x,y\n");
  while (!f.atEnd()) {
    const QList<QByteArray> xy = f.readLine().trimmed().split(',');
    EXPECT_EQ(xy.size(), 2);
    if (xy.size() == 2) pts.emplace_back(xy[0].toDouble(), xy[1].toDouble());
  }
  return pts;
}

#endif
