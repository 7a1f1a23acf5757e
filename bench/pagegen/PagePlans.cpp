// The conditions of the set, one row per photo. Together the rows hold every desk, every
// direction of the page's top, each paper and tone, tables, text at the edges, each light with
// and without a shadow, both photo orientations, tilts up to 25 degrees, rotations up to 8
// degrees and fills from 50% to 95%.
#include <QJsonArray>

#include "PageGenInternal.h"

namespace {

using P = TPaper;
using T = TPaperTone;
using D = TDesk;
using O = TPageTop;
using L = TLight;
constexpr bool Portrait = true, Landscape = false;

// clang-format off
const TPhotoPlan Plans[] = {
  //  paper      tone         table  edge   desk         top       photo      pitch  yaw   rot   fill  light       shadow noise q
  {P::A4,     T::White,    false, false, D::Dark,     O::Up,    Portrait,   10,  -4,   2.0, 0.85, L::Falloff, false, 2.5, 85},
  {P::A4,     T::White,    true,  false, D::Wood,     O::Up,    Portrait,  -14,   6,  -3.5, 0.75, L::Uneven,  false, 3.0, 82},
  {P::Letter, T::White,    false, true,  D::Checks,   O::Up,    Portrait,   18,   0,   5.0, 0.70, L::Falloff, true,  3.5, 80},
  {P::Book,   T::OffWhite, false, false, D::Pale,     O::Up,    Portrait,    6,  10,  -1.5, 0.80, L::Even,    false, 2.0, 84},
  {P::A4,     T::White,    false, false, D::OffWhite, O::Up,    Portrait,   -8,  -3,   0.5, 0.90, L::Falloff, false, 2.5, 85},
  {P::A4,     T::OffWhite, true,  false, D::Dark,     O::Right, Landscape,  12,   5,  -6.0, 0.80, L::Uneven,  true,  4.0, 82},
  {P::Letter, T::White,    false, false, D::Wood,     O::Right, Landscape,  22,  -8,   7.5, 0.65, L::Falloff, false, 3.0, 80},
  {P::Book,   T::OffWhite, false, true,  D::Checks,   O::Right, Landscape,  -5,  12,   1.0, 0.55, L::Even,    false, 2.5, 83},
  {P::A4,     T::White,    true,  true,  D::Pale,     O::Right, Landscape,  15, -12,  -8.0, 0.85, L::Falloff, true,  3.5, 81},
  {P::Letter, T::White,    false, false, D::OffWhite, O::Right, Landscape, -20,   4,   3.0, 0.75, L::Uneven,  false, 3.0, 85},
  {P::A4,     T::White,    false, false, D::Dark,     O::Down,  Portrait,   25,   3,  -2.5, 0.60, L::Falloff, false, 5.0, 80},
  {P::Book,   T::White,    true,  false, D::Wood,     O::Down,  Portrait,  -10, -10,   4.5, 0.95, L::Even,    true,  2.0, 84},
  {P::A4,     T::OffWhite, false, true,  D::Checks,   O::Down,  Portrait,    8,  15,  -7.0, 0.80, L::Uneven,  false, 3.0, 82},
  {P::Letter, T::White,    true,  false, D::Pale,     O::Down,  Portrait,  -16,  -6,   6.0, 0.70, L::Falloff, false, 2.5, 85},
  {P::A4,     T::White,    false, false, D::OffWhite, O::Down,  Portrait,    4,   8,  -4.0, 0.50, L::Even,    true,  2.0, 83},
  {P::Book,   T::OffWhite, false, false, D::Dark,     O::Left,  Landscape, -12,  -5,   8.0, 0.90, L::Uneven,  false, 4.5, 80},
  {P::A4,     T::White,    true,  false, D::Wood,     O::Left,  Landscape,   9,  14,  -5.5, 0.85, L::Falloff, true,  3.0, 82},
  {P::Letter, T::OffWhite, false, false, D::Checks,   O::Left,  Landscape,  20,  -3,   2.5, 0.90, L::Falloff, false, 3.5, 81},
  {P::A4,     T::White,    false, true,  D::Pale,     O::Left,  Landscape,  -4, -14,  -0.5, 0.60, L::Uneven,  true,  2.5, 85},
  {P::Book,   T::White,    false, false, D::OffWhite, O::Left,  Landscape,  14,   6,   5.5, 0.85, L::Falloff, false, 3.0, 84},
  {P::Letter, T::White,    true,  true,  D::Dark,     O::Up,    Landscape, -18,   9,  -3.0, 0.92, L::Even,    false, 3.0, 80},
  {P::A4,     T::OffWhite, false, false, D::Wood,     O::Up,    Landscape,   5,  -5,   6.5, 0.55, L::Uneven,  false, 4.0, 83},
  {P::A4,     T::White,    true,  false, D::Checks,   O::Right, Portrait,   16,  10,  -2.0, 0.65, L::Falloff, true,  3.0, 82},
  {P::Book,   T::OffWhite, false, true,  D::OffWhite, O::Left,  Portrait,  -22,  -8,   3.5, 0.75, L::Uneven,  true,  3.5, 85},
};
// clang-format on
constexpr int PlanCount = static_cast<int>(sizeof(Plans) / sizeof(Plans[0]));

const char* Name(TPaper v) {
  static const char* const names[] = {"A4", "letter", "book"};
  return names[static_cast<int>(v)];
}
const char* Name(TPaperTone v) { return v == TPaperTone::White ? "white" : "off-white"; }
const char* Name(TDesk v) {
  static const char* const names[] = {"dark", "wood", "checks", "pale", "off-white"};
  return names[static_cast<int>(v)];
}
const char* Name(TPageTop v) {
  static const char* const names[] = {"up", "right", "down", "left"};
  return names[static_cast<int>(v)];
}
const char* Name(TLight v) {
  static const char* const names[] = {"even", "falloff", "uneven"};
  return names[static_cast<int>(v)];
}

}  // namespace

int PagePlanCount() { return PlanCount; }

TPhotoPlan PagePlan(int index) { return Plans[index % PlanCount]; }

TPageSize PaperSize(TPaper paper) {
  switch (paper) {
    case TPaper::A4:
      return {210.0, 297.0};
    case TPaper::Letter:
      return {215.9, 279.4};
    case TPaper::Book:
      return {140.0, 216.0};
  }
  return {210.0, 297.0};
}

double PaperAspect(TPaper paper) {
  const TPageSize size = PaperSize(paper);
  return size.Width / size.Height;
}

QJsonObject PlanConditions(const TPhotoPlan& plan) {
  return QJsonObject{
      {"paper", Name(plan.Paper)},
      {"tone", Name(plan.Tone)},
      {"table", plan.Table},
      {"edgeText", plan.EdgeText},
      {"desk", Name(plan.Desk)},
      {"top", Name(plan.Top)},
      {"photo", plan.PortraitPhoto ? "portrait" : "landscape"},
      {"tiltDeg", QJsonArray{plan.PitchDeg, plan.YawDeg}},
      {"rotationDeg", plan.RotationDeg},
      {"fill", plan.Fill},
      {"light", Name(plan.Light)},
      {"shadow", plan.Shadow},
      {"noise", plan.Noise},
      {"quality", plan.Quality},
  };
}
