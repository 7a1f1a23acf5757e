#pragma once
// Shared fixtures of the sheets tests: real photo records imported from small JPEGs written
// here and a look at the dark pixels of a picture. The wait dialog and the user are the scripted
// ones of all tests.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "ScriptedPrompts.h"
#include "ScriptedWait.h"
#include "SheetLayout.h"
#include "Shpora.h"

struct TRgb {
  uint8_t R = 0, G = 0, B = 0;
};

// A document of real photo records in a private folder: each photo is a small portrait JPEG
// imported through CreateFromPhoto. Colour photos (type 0, adjustments 0) keep their colour, so
// a cell's colour tells which photo it shows.
class TColourPhotos {
 public:
  TColourPhotos();
  TShpora* AddPhoto(TRgb colour, int width = 60, int height = 84);
  std::vector<TShpora*> Photos() const;
  QString Path(const QString& name) const { return Dir.filePath(name); }
  QString WorkFolder() const { return Dir.filePath(QStringLiteral("work/")); }

  QTemporaryDir Dir;
  std::vector<std::unique_ptr<TShpora>> Records;
};

// A layout of rows x cols with the given order, the other settings at their defaults.
inline TSheetLayout Layout(int rows, int cols, int order) {
  TSheetLayout layout;
  layout.Rows = rows;
  layout.Cols = cols;
  layout.Order = order;
  return layout;
}

// A few well-apart colours, photo k taking kPalette[k % size].
extern const std::vector<TRgb> kPalette;

// The photo drawn by DrawCell (from Preview, cropped) into a picture of its own.
QImage CellPicture(TShpora& photo, int width, int height);

// Bounding box of the pixels inside `area` whose every channel is below `threshold`; null when
// there are none.
QRect InkBox(const QImage& image, const QRect& area, int threshold = 110);
// Whether a pixel is close to the colour (each channel within `tolerance`).
bool Near(QRgb pixel, TRgb colour, int tolerance = 6);
