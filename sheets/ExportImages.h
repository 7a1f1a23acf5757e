#pragma once
// The export of processed pages: one numbered JPG or PNG file per photo, in list order, each page
// at its full cropped size with the caption line.
#include <cstdint>
#include <vector>

#include <QString>

class IWaitProtocol;
class TShpora;

// Formats of the export, as the items of the dialog's format list.
enum TExportFormat : int32_t { ExportJpeg = 0, ExportPng = 1 };

// Where and how an export writes: what the user entered in the export dialog, or what the
// command line was given. The folder is the text as entered (PrepareExportFolder completes it).
struct TExportSettings {
  QString Folder;
  QString Prefix;
  int32_t Format = ExportJpeg;
};

// ".jpg" for 0, ".png" for 1, empty for any other format.
QString ExportExtension(int32_t format);

// The photo's 0-based list position, left-padded with "0" to at least three digits.
QString ExportNumber(int32_t position);

// Creates the folder with all missing parents and returns it ending in "/". An empty text throws
// "Unable to create directory"; so does a folder that cannot be created, naming it.
QString PrepareExportFolder(const QString& folderText);

// Writes every photo as Folder + Prefix + number + extension, overwriting files of those names
// without asking, under the wait dialog ("Exporting images......", Cancel seen before each
// page; the pages written before a Cancel stay). Nothing is written for a Format other than 0
// or 1. A page that cannot be written ends the loop with its error, closes the wait dialog and
// keeps the pages written before it. Returns the number of pages written.
//
// The photo list must not change while this runs: the wait dialog lets window events run at
// every page, so the caller refuses list changes until it returns.
int32_t ExportImages(const std::vector<TShpora*>& photos, IWaitProtocol& wait,
                     const TExportSettings& settings);
// The same with the three settings one by one, as the command line has them.
inline int32_t ExportImages(const std::vector<TShpora*>& photos, IWaitProtocol& wait,
                            const QString& folderText, const QString& prefix, int32_t format) {
  return ExportImages(photos, wait, TExportSettings{folderText, prefix, format});
}
