#include "ApplyToMany.h"

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
                const TApplyOptions& options, IWaitProtocol& wait) {
  int done = 0;
  const int n = static_cast<int>(photos.size());
  for (int p = 1; p <= n; ++p) {
    wait.SetProgress(p);
    if (!wait.Running()) break;
    if (!InApplyScope(options.ApplyScope, p)) continue;
    TShpora& photo = *photos[p - 1];
    CopyChosenGroups(source, photo, options.ApplyWhat);
    photo.Reload(false);
    ++done;
  }
  return done;
}
