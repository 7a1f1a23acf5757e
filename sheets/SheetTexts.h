#pragma once
// The margin texts of the printed sheets: the vendor's web address first, then the texts of the
// advertising slots. Every printed cell carries one of them, chosen by the photo's position.
#include <array>
#include <cstdint>

#include <QString>

class TSheetTexts {
 public:
  static constexpr int32_t kCapacity = 20;

  // Forgets every entry; room stays for kCapacity of them.
  void ClearSheetTexts();
  // Stores the text as the next entry. Callers add at most 8 (the address and seven slots); a
  // text beyond the capacity is dropped rather than written past the end.
  void AddSheetText(const QString& text);

  int32_t SheetTextCount() const { return Count; }
  const QString& Text(int32_t index) const { return Entries[static_cast<size_t>(index)]; }
  // The entry a printed cell of photo position k carries: k mod the count. Empty with no entries.
  QString TextForPhoto(int32_t photoIndex) const;

 private:
  std::array<QString, kCapacity> Entries;
  int32_t Count = 0;
};
