#pragma once
// Finding the page in a photo of a page: the four corners of the sheet of paper lying on a desk,
// or the answer that there is none to be sure of.
//
// The picture is the working picture (at most 1500 pixels on its longer side), 8 or 24 bits;
// corners come back in its picture coordinates (PageWarp.h: x to the right, y down from the
// top-left corner, fractional), in the order top-left, top-right, bottom-right, bottom-left as
// the page lies in this picture, whichever way the page's own top faces. The page is taken to
// be lighter than the desk just around it, as paper is on any desk but a white one.
#include <QString>

#include "FastDIB.h"
#include "PageWarp.h"

enum class TPageFindOutcome {
  Found,   // Corners hold a page, and IsUsablePageQuad accepts them for this picture
  NoPage,  // nothing that looks like a page
  Unsure,  // candidates, but none that can be told apart from the desk or the print well enough
};

struct TPageFindResult {
  TPageFindOutcome Outcome = TPageFindOutcome::NoPage;
  TPageQuad Corners;  // meaningful only when Found
  double Score = 0;   // 0..1, how well the best candidate's sides lie on edges of the picture
  bool Found() const { return Outcome == TPageFindOutcome::Found; }
};

// Looks for the page. Never throws for a picture's content; an empty picture or one of another
// depth gives NoPage. Reads the picture only; safe to call from several threads at once.
TPageFindResult FindPage(const TFastDIB& picture);

// "page found", "no page found", "not sure where the page is": for messages and the command line.
QString PageFindOutcomeText(TPageFindOutcome outcome);
