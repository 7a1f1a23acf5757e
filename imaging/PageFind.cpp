#include "PageFind.h"

TPageFindResult FindPage(const TFastDIB& picture) {
  (void)picture;
  return TPageFindResult();
}

QString PageFindOutcomeText(TPageFindOutcome outcome) {
  switch (outcome) {
    case TPageFindOutcome::Found:
      return QStringLiteral("page found");
    case TPageFindOutcome::NoPage:
      return QStringLiteral("no page found");
    case TPageFindOutcome::Unsure:
      return QStringLiteral("not sure where the page is");
  }
  return QString();
}
