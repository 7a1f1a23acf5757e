#pragma once
// Shared fixtures of the sheets tests: real photo records imported from small JPEGs written
// here, a look at the dark pixels of a picture, and scripted answers for the wait dialog and
// the user prompts.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "Prompts.h"
#include "Shpora.h"
#include "WaitProtocol.h"

struct TRgb {
  uint8_t R = 0, G = 0, B = 0;
};

// Writes a solid-colour JPEG of width x height with libjpeg (quality 95).
void WriteTestJpeg(const QString& path, int width, int height, TRgb colour);

// A document of real photo records in a private folder: each photo is a small portrait JPEG
// imported through CreateFromPhoto. Colour photos (type 0, adjustments 0) keep their colour, so
// a cell's colour tells which photo it shows.
class TPhotoDocument {
 public:
  TPhotoDocument();
  TShpora* AddPhoto(TRgb colour, int width = 60, int height = 84);
  std::vector<TShpora*> Photos() const;
  QString Path(const QString& name) const { return Dir.filePath(name); }
  QString WorkFolder() const { return Dir.filePath(QStringLiteral("work/")); }

  QTemporaryDir Dir;
  std::vector<std::unique_ptr<TShpora>> Records;
};

// A few well-apart colours, photo k taking kPalette[k % size].
extern const std::vector<TRgb> kPalette;

// The photo drawn by DrawCell (from Preview, cropped) into a picture of its own.
QImage CellPicture(TShpora& photo, int width, int height);

// Bounding box of the pixels inside `area` whose every channel is below `threshold`; null when
// there are none.
QRect InkBox(const QImage& image, const QRect& area, int threshold = 110);
// Whether a pixel is close to the colour (each channel within `tolerance`).
bool Near(QRgb pixel, TRgb colour, int tolerance = 6);

class TRecordingWait : public IWaitProtocol {
 public:
  void ShowWait(const QString& caption, const QString& text, int minimum, int maximum) override;
  void SetProgress(int position) override;
  bool Running() const override { return !Cancelled; }
  void Close() override { ++Closes; }

  // Cancel is pressed while the page at this position is written: the next step sees it.
  int CancelDuring = -1;
  bool Cancelled = false;
  int Shows = 0, Closes = 0;
  QString Caption, Text;
  int Minimum = 0, Maximum = 0;
  std::vector<int> Progress;
};

class TScriptedPrompts : public IUserPrompts {
 public:
  Answer Message(QWidget*, const QString& caption, const QString& text, Buttons,
                 Icon) override;
  QStringList OpenFiles(QWidget*, const QString&, const QString&) override { return {}; }
  QString OpenFile(QWidget*, const QString&, const QString&) override { return {}; }
  QString SaveFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
  QString BrowseFolder(QWidget* parent, const QString& title, const QString& start) override;
  bool Print(QWidget* parent, QPrinter& printer, PrintChoice& choice) override;

  // The print dialog: sees the choice as offered, may change it; false is Cancel.
  std::function<bool(PrintChoice&)> PrintAnswer = [](PrintChoice&) { return true; };
  std::vector<PrintChoice> PrintOffers;
  // The folder browser's answer (empty: cancelled) and what happens while it is open.
  QString BrowseAnswer;
  std::function<void()> OnBrowse;
  QStringList BrowseStarts;
  QStringList Messages;
};
