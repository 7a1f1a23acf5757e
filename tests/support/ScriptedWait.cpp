#include "ScriptedWait.h"

#include <algorithm>
#include <utility>

void TScriptedWait::Record(Call call) {
  call.WatchedEnabled = Watched ? Watched() : true;
  Calls.push_back(std::move(call));
}

void TScriptedWait::ShowWait(const QString& caption, const QString& text, int minimum,
                             int maximum) {
  Shown = true;
  Pressed = false;
  Steps = 0;
  Record({QStringLiteral("ShowWait"), caption, text, minimum, maximum});
}

void TScriptedWait::SetProgress(int position) {
  Record({QStringLiteral("SetProgress"), {}, {}, position, 0});
  if (OnProgress) OnProgress(position);
  if (++Steps == CancelAfter) Pressed = true;
}

void TScriptedWait::Close() {
  Shown = false;
  Record({QStringLiteral("Close"), {}, {}, 0, 0});
}

std::vector<int> TScriptedWait::Progress() const {
  std::vector<int> positions;
  for (const Call& call : Calls) {
    if (call.What == QLatin1String("SetProgress")) positions.push_back(call.A);
  }
  return positions;
}

int TScriptedWait::Count(const QString& what) const {
  return static_cast<int>(std::count_if(Calls.begin(), Calls.end(),
                                        [&](const Call& call) { return call.What == what; }));
}

TScriptedWait::Call TScriptedWait::LastShown() const {
  const auto shown = std::find_if(Calls.rbegin(), Calls.rend(), [](const Call& call) {
    return call.What == QLatin1String("ShowWait");
  });
  return shown == Calls.rend() ? Call{} : *shown;
}
