#pragma once
// "Apply to many...": which groups of parameters are copied from one photo to others, to which
// list positions, and the loop that reprocesses them. The editor's dialog and the command line's
// "set" both use it.
#include <vector>

#include <QString>

#include "Shpora.h"

class IWaitProtocol;

// The groups of parameters "Apply to many..." can copy, as the sum of their values.
enum TApplyGroup : int {
  ApplyImageType = 1,
  ApplyBrightnessContrast = 2,
  ApplyCropping = 4,
  ApplyRotation = 8,
  // Not a value copied: each photo's own page is looked for and, where found, straightened.
  ApplyPageFind = 16,
};

enum class TApplyScope { All, Even, Odd };

struct TApplyOptions {
  int ApplyWhat = ApplyBrightnessContrast | ApplyRotation;
  TApplyScope ApplyScope = TApplyScope::All;
};

// Whether list position p (counted from 1) is in the scope: Even takes 2, 4, 6, ..., Odd 1, 3, 5.
bool InApplyScope(TApplyScope scope, int position);

// Copies the chosen groups from `source` into `target`; the rest of `target` stays. The page
// geometry is never copied: every photo's page lies where it lies.
void CopyChosenGroups(const TShporaData& source, TShporaData& target, int applyWhat);

// The loop of "Apply to many...": for each position p = 1..photos.size() it moves the wait
// protocol to p, stops when the user has cancelled, and for a photo in scope copies the chosen
// groups from `source` and reprocesses it (Reload without the full picture), even when no group
// is chosen. The caller shows and closes the wait dialog. A failing Reload ends the loop with its
// error: the photos before it keep their new values and pictures. Returns how many photos were
// reprocessed.
//
// With ApplyPageFind chosen, each photo in scope, after the copy, has its page looked for in its
// working copy (FindPageInWorkingCopy): a photo where one was found is straightened by it, its
// crop widened (StraightenWith, so a copied crop gives way there); one where none was found
// keeps its page geometry as it was. A working copy that cannot be read ends the loop like a
// failing Reload. `counts`, when given, is filled as the loop goes, so it is right also after
// a cancel or an error.
struct TApplyCounts {
  int Reprocessed = 0;
  int PagesSearched = 0;  // photos whose page was looked for
  int PagesNotFound = 0;  // of those, the ones where the finder found none
};
int ApplyToMany(const TShporaData& source, const std::vector<TShpora*>& photos,
                const TApplyOptions& options, IWaitProtocol& wait, TApplyCounts* counts = nullptr);

// What the user is told after a loop that looked for pages: how many of the photos searched
// had none to be found, or that every one had a page.
QString PagesNotFoundText(const TApplyCounts& counts);
