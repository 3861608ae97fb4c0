// The start-points files both programs share: what the reader takes, and
// writers whose every output a strict reader takes back.
#include <limits>
#include <sstream>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <app/snake_points_file.h>

using point_list = std::vector<vgl_point_2d<double>>;

TEST(SnakePointsFile, ReaderTakesHeadersCommentsAndSeparators)
{
  const point_list want = {{1, 2}, {3, 4}, {5, 6}};
  const struct
  {
    const char* name;
    std::string text;
    const char* refusal;  // part of the reason; null when want is read
  } cases[] = {
      {"no header, blanks, CRLF", "1, 2\r\n\r\n 3 ,4\r\n5,6", nullptr},
      {"byte-order mark and capitals", "\xef\xbb\xbfX,Y\n1,2\n3,4\n5,6\n", nullptr},
      {"comments", "# tracked\nx,y\n1,2\n  # mid\n3,4\n5,6\n", nullptr},
      {"columns anywhere, others ignored", "id,Y,x\na,2,1\nb,4,3\nc,6,5\n", nullptr},
      {"semicolons, quoted", "\"x\";\"y\";note\n1;2;\n3;4;\"b\"\n5;6;c\n", nullptr},
      {"tabs", "x\ty\n1\t2\n3\t4\n5\t6\n", nullptr},
      {"a header without y", "id,x,z\n1,2,3\n", "header naming the x and y"},
      {"x named twice", "x,x,y\n1,2,3\n", "once each"},
      {"a line short of the header's columns", "id,x,y\na,1,2\nb,3\n", "line 3"},
      {"three numbers and no header", "1,2,3\n", "line 1"},
      {"not a number", "x,y\n1,nan\n", "line 2"},
      {"beyond a double", "x,y\n1,1e999\n", "line 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::istringstream in(c.text);
    point_list got;
    std::string why;
    EXPECT_EQ(read_snake_points(in, got, why), !c.refusal) << why;
    if (c.refusal) EXPECT_NE(why.find(c.refusal), std::string::npos) << why;
    else EXPECT_EQ(got, want);
  }
  // An endless stream is read only as far as a points file can go.
  point_list got;
  std::string why;
  EXPECT_FALSE(read_snake_points("/dev/zero", got, why));
  EXPECT_NE(why.find("larger than"), std::string::npos) << why;
}

TEST(SnakePointsFile, EveryFormatIsStrictlyValidAndNeverNotANumber)
{
  QTemporaryDir dir;
  snake_points_record r;
  r.pts = {{1, 2}, {3, 4}, {5, 6}};
  // A name in Latin-1 and a stray byte, as a file system may hold them.
  r.image = "caf\xc3\xa9 \xff\xe9t\xe9.png";
  const QString json = dir.filePath("p.json");
  std::string why;
  ASSERT_TRUE(write_snake_points(QFile::encodeName(json).toStdString(), r, why)) << why;
  QFile f(json);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(QJsonDocument::fromJson(f.readAll())["image"].toString(),
            QString::fromUtf8("caf\xc3\xa9 \xef\xbf\xbd\xef\xbf\xbdt\xef\xbf\xbd.png"));

  r.pts[1].set(std::numeric_limits<double>::quiet_NaN(), 4);
  for (const char* ext : {".csv", ".json", ".svg", ".bvl"}) {
    const QString path = dir.filePath(QString("nan") + ext);
    EXPECT_FALSE(write_snake_points(QFile::encodeName(path).toStdString(), r, why)) << ext;
    EXPECT_NE(why.find("finite"), std::string::npos) << why;
    EXPECT_FALSE(QFile::exists(path)) << ext;
  }
}
