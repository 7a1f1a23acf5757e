#include "SheetTexts.h"

void TSheetTexts::ClearSheetTexts() {
  for (QString& entry : Entries) entry.clear();
  Count = 0;
}

void TSheetTexts::AddSheetText(const QString& text) {
  if (Count >= kCapacity) return;
  Entries[static_cast<size_t>(Count)] = text;
  ++Count;
}

QString TSheetTexts::TextForPhoto(int32_t photoIndex) const {
  if (Count <= 0 || photoIndex < 0) return QString();
  return Entries[static_cast<size_t>(photoIndex % Count)];
}
