#pragma once
// "Apply to many...": which groups of parameters are copied from one photo to others, to which
// list positions, and the loop that reprocesses them. The editor's dialog and the command line's
// "set" both use it.
#include <vector>

#include "Shpora.h"

class IWaitProtocol;

// The groups of parameters "Apply to many..." can copy, as the sum of their values.
enum TApplyGroup : int {
  ApplyImageType = 1,
  ApplyBrightnessContrast = 2,
  ApplyCropping = 4,
  ApplyRotation = 8,
};

enum class TApplyScope { All, Even, Odd };

struct TApplyOptions {
  int ApplyWhat = ApplyBrightnessContrast | ApplyRotation;
  TApplyScope ApplyScope = TApplyScope::All;
};

// Whether list position p (counted from 1) is in the scope: Even takes 2, 4, 6, ..., Odd 1, 3, 5.
bool InApplyScope(TApplyScope scope, int position);

// Copies the chosen groups from `source` into `target`; the rest of `target` stays.
void CopyChosenGroups(const TShporaData& source, TShporaData& target, int applyWhat);

// The loop of "Apply to many...": for each position p = 1..photos.size() it moves the wait
// protocol to p, stops when the user has cancelled, and for a photo in scope copies the chosen
// groups from `source` and reprocesses it (Reload without the full picture), even when no group
// is chosen. The caller shows and closes the wait dialog. A failing Reload ends the loop with its
// error: the photos before it keep their new values and pictures. Returns how many photos were
// reprocessed.
int ApplyToMany(const TShporaData& source, const std::vector<TShpora*>& photos,
                const TApplyOptions& options, IWaitProtocol& wait);
