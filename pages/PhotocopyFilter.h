#pragma once
// The steps of the photocopy filter that are ours rather than imaging's, each usable on its own so
// that tests and benchmarks can reach them. TShpora::PhotocopyFilter chains them with the gray
// conversion, the smoothing passes, the gamma table and the conversion back to 24 bits.
#include <cstdint>

#include "FastDIB.h"

// Background estimate by tile maxima: square tiles of blockSize x blockSize pixels laid from
// column 0 and memory row 0, cut off at the right and top edges; every `background` pixel of a
// tile gets the largest `gray` value in that tile. Both images are 8-bit of the same size; one
// pass over `gray`. blockSize < 1 is taken as 1.
void TileMaxima(const TFastDIB& gray, TFastDIB& background, int blockSize);

// The normalisation of every pixel, gray value v against its background b, as one table:
// NormalisationTable()[b * 256 + v] is round-half-even((v - k) * 255 / (b - k)) with
// k = 3b div 10, 255 where b - k = 0, then 255 above 230 and 0 below 20. Built once per process.
const uint8_t* NormalisationTable();

// Replaces every `background` pixel b by the table entry for its `gray` pixel v (same sizes).
void Normalise(const TFastDIB& gray, TFastDIB& background);

// The gray shade of each entry of an 8-bit image's colour table; false when some entry is not
// gray (its blue, green and red differ).
bool GrayShades(const TFastDIB& image, uint8_t* shade);

// Normalise and the conversion back to colour in one pass: every 24-bit `picture` pixel becomes
// the gray shade[NormalisationTable()[b * 256 + v]] for its `background` value b and `gray`
// value v (all three images of the same size), which is what Normalise followed by ConvertInto
// through a gray colour table `shade` gives. `background` itself is left as it is.
void NormaliseInto(const TFastDIB& gray, const TFastDIB& background, const uint8_t* shade,
                   TFastDIB& picture);
