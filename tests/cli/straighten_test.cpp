// Straightening from the command line: corners given by hand, found by the page finder on import
// or later, switched off again, and shown by info; bad corners refused with the reason.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>

#include "../pages/SyntheticPage.h"
#include "CliTestSupport.h"
#include "JpegFixture.h"

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CliStraighten : public TCliTest {
 protected:
  void TearDown() override {
    EXPECT_TRUE(TempLeftovers().isEmpty()) << TempLeftovers().join(' ').toStdString();
  }
  // A plain white page tilted on a dark desk, 900 x 1200: a page any finder should see.
  QString PagePhoto(const QString& name) {
    const synthpage::TPagePhoto shot = synthpage::EasyShot();
    const synthpage::Matrix back = synthpage::Inverse(shot.Map());
    const QString path = Path(name);
    WriteJpegFixture(path, shot.PhotoW, shot.PhotoH,
                     [&](int x, int y) { return shot.PhotoColour(x, y, back); });
    return path;
  }
  QJsonObject PhotoInfo(const QString& doc, int number) {
    return Info(doc)["photos"].toArray().at(number - 1).toObject();
  }
};

QJsonArray CornersOf(const TPageQuad& q) {
  QJsonArray corners;
  for (const TPagePoint& p : q.Corners) corners.append(QJsonArray{p.X, p.Y});
  return corners;
}

TEST_F(CliStraighten, CornersGivenBySetAreShownAndSwitchedOff) {
  MakeDocument("d.TavDoc", Photos(2));  // 300 x 400 photos
  const QJsonObject before = PhotoInfo("d.TavDoc", 2);
  EXPECT_TRUE(before["corners"].isNull());
  EXPECT_FALSE(before["straighten"].toBool());

  ASSERT_EQ(
      Cli({"set", "d.TavDoc", "--photos", "2", "--straighten", "10.5,20,290,15,280,390.25,12,380"})
          .Code,
      0);
  QJsonObject photo = PhotoInfo("d.TavDoc", 2);
  TPageQuad q;
  q.Corners = {{{10.5, 20}, {290, 15}, {280, 390.25}, {12, 380}}};
  EXPECT_EQ(photo["corners"].toArray(), CornersOf(q));
  EXPECT_TRUE(photo["straighten"].toBool());
  // The crop opens to the whole page.
  EXPECT_EQ(photo["cropLeft"].toInt(), 1);
  EXPECT_EQ(photo["cropRight"].toInt(), 416);
  EXPECT_EQ(photo["cropTop"].toInt(), 1);
  EXPECT_EQ(photo["cropBottom"].toInt(), 589);
  EXPECT_TRUE(PhotoInfo("d.TavDoc", 1)["corners"].isNull());
  const TRun text = Cli({"info", "d.TavDoc"});
  EXPECT_TRUE(text.Out.contains("on 10.5,20 290,15 280,390.25 12,380")) << text.Out.toStdString();

  // A crop given with the corners is the crop that stays; the sheet is drawn straightened.
  ASSERT_EQ(Cli({"set", "d.TavDoc", "--photos", "1", "--straighten", "0,0,300,0,300,400,0,400",
                 "--crop", "20,400,30,500"})
                .Code,
            0);
  photo = PhotoInfo("d.TavDoc", 1);
  EXPECT_TRUE(photo["straighten"].toBool());
  EXPECT_EQ(photo["cropLeft"].toInt(), 20);
  EXPECT_EQ(photo["cropBottom"].toInt(), 500);
  EXPECT_EQ(Cli({"sheet", "d.TavDoc", "--page", "1", "-o", Path("s.png")}).Code, 0);

  ASSERT_EQ(Cli({"set", "d.TavDoc", "--straighten", "off"}).Code, 0);
  for (int n : {1, 2}) {
    photo = PhotoInfo("d.TavDoc", n);
    EXPECT_TRUE(photo["corners"].isNull()) << n;
    EXPECT_FALSE(photo["straighten"].toBool()) << n;
  }
}

TEST_F(CliStraighten, BadCornersAreRefusedWithTheReasonAndChangeNothing) {
  MakeDocument("d.TavDoc", Photos(2));
  const QByteArray document = ReadAll(Path("d.TavDoc"));
  const std::vector<std::pair<QStringList, QString>> cases = {
      {{"set", "d.TavDoc", "--straighten", "1,2,3"}, "is not auto, off or eight numbers"},
      {{"set", "d.TavDoc", "--straighten", "a,0,300,0,300,400,0,400"},
       "is not auto, off or eight numbers"},
      {{"set", "d.TavDoc", "--straighten", "0,0,300,0,300,400,0,nan"},
       "is not auto, off or eight numbers"},
      {{"set", "d.TavDoc", "--straighten", "0,0,0,400,300,400,300,0"},
       "are not in the order top-left, top-right, bottom-right, bottom-left"},
      {{"set", "d.TavDoc", "--photos", "2", "--straighten", "0,0,900,0,900,400,0,400"},
       "photo 2 (300 x 400 pixels): A corner of the page lies too far outside the picture"},
      {{"set", "d.TavDoc", "--straighten", "0,0,300,0,300,400,300,400"}, "less than a pixel apart"},
      {{"new", "e.TavDoc", "x.jpg", "--straighten", "0,0,300,0,300,400,0,400"},
       "only be straightened by the page found in them (auto)"},
      {{"add", "d.TavDoc", "x.jpg", "--straighten", "off"}, "(auto)"},
  };
  for (const auto& [args, words] : cases) {
    const TRun run = Cli(args);
    EXPECT_EQ(run.Code, 2) << args.join(' ').toStdString();
    EXPECT_TRUE(run.Err.contains(words)) << run.Err.toStdString();
  }
  EXPECT_EQ(ReadAll(Path("d.TavDoc")), document);
}

// The finder runs on each photo; those where it finds no page are named, and the exit status
// says that not everything was done, while the rest is written.
TEST_F(CliStraighten, AutoStraightensWhereAPageIsFoundAndNamesTheOthers) {
  const QString page = PagePhoto("page.jpg");
  const QString blank = Photo("blank.jpg", 300, 400, {120, 120, 120});
  TRun run = Cli({"new", Path("d.TavDoc"), page, blank, "--straighten", "auto"});
  EXPECT_EQ(run.Code, 1) << run.Err.toStdString();
  EXPECT_TRUE(run.Err.contains("no page found in blank.jpg")) << run.Err.toStdString();
  EXPECT_FALSE(run.Err.contains("page.jpg")) << run.Err.toStdString();
  ASSERT_EQ(Titles("d.TavDoc"), QStringList({"blank.jpg", "page.jpg"}));
  EXPECT_FALSE(PhotoInfo("d.TavDoc", 1)["straighten"].toBool());
  QJsonObject found = PhotoInfo("d.TavDoc", 2);
  EXPECT_TRUE(found["straighten"].toBool());
  // The corners found lie near the page's own.
  const TPageQuad truth = synthpage::EasyShot().Corners();
  const QJsonArray corners = found["corners"].toArray();
  ASSERT_EQ(corners.size(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(corners[i].toArray()[0].toDouble(), truth.Corners[size_t(i)].X, 12) << i;
    EXPECT_NEAR(corners[i].toArray()[1].toDouble(), truth.Corners[size_t(i)].Y, 12) << i;
  }

  // add does the same; set auto finds it again after it was switched off.
  run = Cli({"add", Path("d.TavDoc"), PagePhoto("again.jpg"), "--straighten", "auto"});
  EXPECT_EQ(run.Code, 0) << run.Err.toStdString();
  ASSERT_EQ(Cli({"set", "d.TavDoc", "--straighten", "off"}).Code, 0);
  run = Cli({"set", "d.TavDoc", "--straighten", "auto"});
  EXPECT_EQ(run.Code, 1);
  // The added photo comes before the document's own.
  EXPECT_TRUE(run.Err.contains("no page found in photo 2 (blank.jpg)")) << run.Err.toStdString();
  const QJsonArray photos = Info("d.TavDoc")["photos"].toArray();
  for (int i = 0; i < photos.size(); ++i)
    EXPECT_EQ(photos[i].toObject()["straighten"].toBool(),
              photos[i].toObject()["title"].toString() != "blank.jpg")
        << i;
}

}  // namespace
