#pragma once
// TGA pictures: true-colour, colour-mapped and grey images, stored plainly or
// as run-length packets (image types 1, 2, 3, 9, 10 and 11).
#include <string>

#include "Streams.h"

class TDIB;

// The ".TGA" load: clears Dest and reads the picture into a 24-bit surface,
// or a 32-bit one where the stored colours (pixels or colour-map entries) have
// 32 bits. 24- and 32-bit colours keep their bytes as stored (blue, green,
// red, then alpha as stored, not premultiplied); 15- and 16-bit colours are
// widened to 8 bits a channel and their attribute bit is not read; greys
// become blue = green = red. Rows run bottom-up unless the descriptor's
// top-down bit is set, and right to left when its right-to-left bit is.
// Raises EInvalidGraphic naming a variant it does not read (ReadTgaHeader)
// or a colour index outside the colour map, EReadError for a file shorter
// than its header says, std::bad_alloc beyond the size limits; after any
// error Dest is empty.
void LoadTga(TDIB& Dest, TStream& Stream);
void LoadTgaFile(TDIB& Dest, const std::string& FileName);
