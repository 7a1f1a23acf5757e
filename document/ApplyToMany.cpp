#include "ApplyToMany.h"

#include "CropRules.h"
#include "WaitProtocol.h"

bool InApplyScope(TApplyScope scope, int position) {
  switch (scope) {
    case TApplyScope::Even:
      return position % 2 == 0;
    case TApplyScope::Odd:
      return position % 2 != 0;
    case TApplyScope::All:
      break;
  }
  return true;
}

void CopyChosenGroups(const TShporaData& source, TShporaData& target, int applyWhat) {
  if (applyWhat & ApplyImageType) target.ImageType = source.ImageType;
  if (applyWhat & ApplyRotation) target.Rotation = source.Rotation;
  if (applyWhat & ApplyBrightnessContrast) {
    target.Brightness = source.Brightness;
    target.Contrast = source.Contrast;
  }
  if (applyWhat & ApplyCropping) {
    target.CropLeft = source.CropLeft;
    target.CropRight = source.CropRight;
    target.CropTop = source.CropTop;
    target.CropBottom = source.CropBottom;
  }
}

int ApplyToMany(const TShporaData& source, const std::vector<TShpora*>& photos,
                const TApplyOptions& options, IWaitProtocol& wait, TApplyCounts* counts) {
  TApplyCounts local;
  TApplyCounts& c = counts ? *counts : local;
  c = TApplyCounts();
  int done = 0;
  const int n = static_cast<int>(photos.size());
  for (int p = 1; p <= n; ++p) {
    wait.SetProgress(p);
    if (!wait.Running()) break;
    if (!InApplyScope(options.ApplyScope, p)) continue;
    TShpora& photo = *photos[p - 1];
    CopyChosenGroups(source, photo, options.ApplyWhat);
    if (options.ApplyWhat & ApplyPageFind) {
      const TPageFindResult found = photo.FindPageInWorkingCopy();
      ++c.PagesSearched;
      if (found.Found())
        StraightenWith(photo, found.Corners);
      else
        ++c.PagesNotFound;
    }
    photo.Reload(false);
    ++done;
    c.Reprocessed = done;
  }
  return done;
}

QString PagesNotFoundText(const TApplyCounts& counts) {
  const QString byHand = QStringLiteral(
      "can be placed by hand in the editor: press \"Page\" and drag the round handles.");
  if (counts.PagesSearched == 1)
    return counts.PagesNotFound == 0
               ? QStringLiteral("The page was found in the photo.")
               : QStringLiteral("No page was found in the photo. Its corners ") + byHand;
  if (counts.PagesNotFound == 0)
    return QStringLiteral("A page was found in all %1 photos.").arg(counts.PagesSearched);
  return QStringLiteral("No page was found in %1 of the %2 photos. Their corners ")
             .arg(counts.PagesNotFound)
             .arg(counts.PagesSearched) +
         byHand;
}
