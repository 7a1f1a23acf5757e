#pragma once
// Camera-like photos of printed pages with known corners: the test set of the page detector and
// the perspective flattening, kept as its generator instead of as files.
//
// Photo i follows row i of a table of conditions (PagePlans.cpp; rows repeat past its end with
// fresh seeds). Its page is drawn upright, laid on a desk, seen by a tilted camera (a
// homography), lit, given sensor noise and encoded as a JPEG at phone quality. Every random
// choice comes from a seed of the index alone, so one build always gives the same bytes.
//
// Coordinates are the photo's pixels as continuous values: x to the right, y down, pixel (i, j)
// covering [i, i + 1) x [j, j + 1), so the centre of the top-left pixel is (0.5, 0.5).
#include <array>
#include <memory>

#include <QByteArray>
#include <QJsonObject>
#include <QPointF>
#include <QString>

#include "FastDIB.h"

enum class TPaper { A4, Letter, Book };
enum class TPaperTone { White, OffWhite };
enum class TDesk { Dark, Wood, Checks, Pale, OffWhite };
// Where the page's own top points in the photo.
enum class TPageTop { Up, Right, Down, Left };
// Even: a slight overall dimming; Falloff: darker towards the photo's rim around an off-centre
// bright spot; Uneven: light coming from one side.
enum class TLight { Even, Falloff, Uneven };

struct TPhotoPlan {
  TPaper Paper;
  TPaperTone Tone;
  bool Table;     // a ruled table among the text
  bool EdgeText;  // text runs to within a few millimetres of the page's edges
  TDesk Desk;
  TPageTop Top;
  bool PortraitPhoto;       // 1200 x 1600 instead of 1600 x 1200 (at the full size)
  double PitchDeg, YawDeg;  // the camera's tilt away from looking straight down
  double RotationDeg;       // in the desk's plane, on top of the quarter turns of Top
  // The page's bounding box over the photo's size, on the axis where it is the larger fraction.
  double Fill;
  TLight Light;
  bool Shadow;   // a soft shadow edge across the page
  double Noise;  // the sensor noise's standard deviation, in levels of 0..255
  int Quality;   // of the JPEG
};

// The rows of the table; PagePlan(i) for any i >= 0 (i modulo the count).
int PagePlanCount();
TPhotoPlan PagePlan(int index);
// The plan in words and numbers, as truth.json lists it.
QJsonObject PlanConditions(const TPhotoPlan& plan);
// Width over height of the upright page.
double PaperAspect(TPaper paper);

struct TPagePhoto {
  QByteArray Jpeg;
  // Jpeg decoded: the pixels a reader of the file sees (24 bits).
  std::unique_ptr<TFastDIB> Photo;
  // The page's top-left, top-right, bottom-right and bottom-left corners, by the page's own top.
  std::array<QPointF, 4> Corners;
  double Aspect = 0;
  TPhotoPlan Plan;
};

// Photo `index` with `longSide` pixels on its longer side (1600 for the set; the rest of the
// picture scales with it, so a small photo is the same scene at a lower resolution). Throws
// std::invalid_argument for a negative index or a long side below 64.
TPagePhoto GeneratePagePhoto(int index, int longSide = 1600);

// Writes photos 0..count-1 as folder/page-NN.jpg (NN the index) and folder/truth.json, an array
// of {file, index, width, height, corners [[x, y] x 4], aspect, conditions}. The folder is
// created; files are replaced through a rename. Throws std::runtime_error on a failed write.
void WritePageSet(const QString& folder, int count, int longSide = 1600);
