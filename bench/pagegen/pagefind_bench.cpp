// The page finder on the generated photos at the working size (1500 on the longer side), beside
// the document-scanner recipe most people meet first (blur, edge detector, the largest contour
// that simplifies to four points) when a general purpose vision library is at hand
// (TAVROLIN_BENCH_OPENCV). Before the timings it prints, per photo, each finder's largest corner
// error in % of the page's diagonal, and a summary: within 1%, reported but over 2%, missed.
//
// The timings are FindPage on each generated photo and on the camera photos of
// TAVROLIN_BENCH_PHOTOS (a folder) or /work/shared/photos reduced to 1500 on the longer side
// (rows only for the photos found there), at one pixel thread.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <QDir>
#include <QString>

#include "PageFind.h"
#include "PageGen.h"

#ifdef TAVROLIN_BENCH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int kLongSide = 1500;

int PhotoCount() { return std::max(24, PagePlanCount()); }

const TPagePhoto& Photo(int index) {
  static std::vector<std::unique_ptr<TPagePhoto>> photos =
      std::vector<std::unique_ptr<TPagePhoto>>(size_t(PhotoCount()));
  auto& slot = photos[size_t(index)];
  if (!slot) slot = std::make_unique<TPagePhoto>(GeneratePagePhoto(index, kLongSide));
  return *slot;
}

// The largest corner distance over the page's diagonal, in %, the corners matched in the
// rotation that fits best (the truth is by the page's own top, a finder's by the picture).
double CornerError(const TPagePhoto& photo, const TPageQuad& quad) {
  const auto& t = photo.Corners;
  const double diagonal = std::max(std::hypot(t[0].x() - t[2].x(), t[0].y() - t[2].y()),
                                   std::hypot(t[1].x() - t[3].x(), t[1].y() - t[3].y()));
  double best = 1e9;
  for (int shift = 0; shift < 4; ++shift) {
    double worst = 0;
    for (int k = 0; k < 4; ++k) {
      const QPointF& truth = t[size_t((k + shift) % 4)];
      const TPagePoint& found = quad.Corners[size_t(k)];
      worst = std::max(worst, std::hypot(found.X - truth.x(), found.Y - truth.y()));
    }
    best = std::min(best, worst);
  }
  return 100 * best / diagonal;
}

#ifdef TAVROLIN_BENCH_OPENCV
// The recipe: gray, Gaussian 5 x 5, Canny 75/200 on a copy 500 pixels high, external contours
// by area, the first whose polygon at 2% of its perimeter has four points.
bool ClassicFind(const TFastDIB& picture, TPageQuad& quad) {
  const int w = picture.Width(), h = picture.AbsHeight;
  cv::Mat bgr(h, w, CV_8UC3);
  for (int y = 0; y < h; ++y)
    std::copy_n(picture.Scanlines[size_t(h - 1 - y)], size_t(3 * w), bgr.ptr<uint8_t>(y));
  const double ratio = h / 500.0;
  cv::Mat small, gray, edges;
  cv::resize(bgr, small, cv::Size(int(std::lround(w / ratio)), 500));
  cv::cvtColor(small, gray, cv::COLOR_BGR2GRAY);
  cv::GaussianBlur(gray, gray, cv::Size(5, 5), 0);
  cv::Canny(gray, edges, 75, 200);
  std::vector<std::vector<cv::Point>> contours;
  cv::findContours(edges, contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
  std::sort(contours.begin(), contours.end(),
            [](const auto& a, const auto& b) { return cv::contourArea(a) > cv::contourArea(b); });
  if (contours.size() > 5) contours.resize(5);
  for (const auto& c : contours) {
    std::vector<cv::Point> poly;
    cv::approxPolyDP(c, poly, 0.02 * cv::arcLength(c, true), true);
    if (poly.size() != 4) continue;
    // Ordered as the recipe does: smallest x + y top-left, largest bottom-right, smallest
    // y - x top-right, largest bottom-left.
    std::array<cv::Point2d, 4> p;
    for (int k = 0; k < 4; ++k) p[size_t(k)] = cv::Point2d(poly[size_t(k)]) * ratio;
    const auto sum = [](const cv::Point2d& a) { return a.x + a.y; };
    const auto diff = [](const cv::Point2d& a) { return a.y - a.x; };
    const auto by = [&](auto key, bool largest) {
      return *std::max_element(p.begin(), p.end(), [&](const auto& a, const auto& b) {
        return largest ? key(a) < key(b) : key(a) > key(b);
      });
    };
    const cv::Point2d ordered[4] = {by(sum, false), by(diff, false), by(sum, true), by(diff, true)};
    for (int k = 0; k < 4; ++k) quad.Corners[size_t(k)] = {ordered[k].x, ordered[k].y};
    return true;
  }
  return false;
}
#endif

struct TTally {
  int Within1 = 0, Over2 = 0, Missed = 0;
  void Add(bool found, double error) {
    if (!found)
      ++Missed;
    else if (error <= 1)
      ++Within1;
    else if (error > 2)
      ++Over2;
  }
};

const char* OutcomeWord(TPageFindOutcome o) {
  return o == TPageFindOutcome::Found ? "found" : o == TPageFindOutcome::Unsure ? "unsure" : "none";
}

void PrintAccuracy() {
  TTally ours, classic;
  std::printf("%-5s %-28s %-7s %7s %6s   %s\n", "photo", "conditions", "ours", "error%", "score",
              "classic error%");
  for (int i = 0; i < PhotoCount(); ++i) {
    const TPagePhoto& photo = Photo(i);
    const TPhotoPlan& plan = photo.Plan;
    static const char* const desks[] = {"dark", "wood", "checks", "pale", "offwhite"};
    char conditions[64];
    std::snprintf(conditions, sizeof conditions, "%s%s%s %s fill %.2f rot %.1f",
                  plan.Tone == TPaperTone::White ? "white" : "offwh", plan.Table ? "+table" : "",
                  plan.EdgeText ? "+edge" : "", desks[int(plan.Desk)], plan.Fill, plan.RotationDeg);
    const TPageFindResult found = FindPage(*photo.Photo);
    const double error = found.Found() ? CornerError(photo, found.Corners) : 0;
    ours.Add(found.Found(), error);
    std::string theirs = "no library";
#ifdef TAVROLIN_BENCH_OPENCV
    TPageQuad quad;
    const bool classicFound = ClassicFind(*photo.Photo, quad);
    const double classicError = classicFound ? CornerError(photo, quad) : 0;
    classic.Add(classicFound, classicError);
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", classicError);
    theirs = classicFound ? text : "none";
#endif
    std::printf("%-5d %-28s %-7s %7.2f %6.3f   %s\n", i, conditions, OutcomeWord(found.Outcome),
                error, found.Score, theirs.c_str());
  }
  std::printf("ours:    %d within 1%%, %d reported but over 2%%, %d missed, of %d\n", ours.Within1,
              ours.Over2, ours.Missed, PhotoCount());
#ifdef TAVROLIN_BENCH_OPENCV
  std::printf("classic: %d within 1%%, %d reported but over 2%%, %d missed, of %d\n",
              classic.Within1, classic.Over2, classic.Missed, PhotoCount());
#endif
  std::fflush(stdout);
}

void BM_FindPageGenerated(benchmark::State& state) {
  const TPagePhoto& photo = Photo(int(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(FindPage(*photo.Photo));
}

QString PhotoFolder() {
  const QString chosen = qEnvironmentVariable("TAVROLIN_BENCH_PHOTOS");
  return chosen.isEmpty() ? QStringLiteral("/work/shared/photos") : chosen;
}

void RegisterCameraPhotos() {
  const QStringList files =
      QDir(PhotoFolder())
          .entryList({QStringLiteral("*.jpg"), QStringLiteral("*.jpeg")}, QDir::Files);
  for (const QString& file : files) {
    std::shared_ptr<TFastDIB> working;
    try {
      auto decoded = TFastDIB::LoadFromJpegFile(PhotoFolder() + QLatin1Char('/') + file);
      const int w = decoded->Width(), h = decoded->AbsHeight, longer = std::max(w, h);
      working = std::make_shared<TFastDIB>(int(int64_t(w) * kLongSide / longer), 24,
                                           int(int64_t(h) * kLongSide / longer));
      decoded->QuickResizeInto(*working);
    } catch (...) {
      continue;
    }
    benchmark::RegisterBenchmark(("BM_FindPageCamera/" + file.toStdString()).c_str(),
                                 [working](benchmark::State& state) {
                                   for (auto _ : state)
                                     benchmark::DoNotOptimize(FindPage(*working));
                                 })
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

BENCHMARK(BM_FindPageGenerated)->DenseRange(0, 23)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  SetPixelThreads(1);
  PrintAccuracy();
  RegisterCameraPhotos();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
