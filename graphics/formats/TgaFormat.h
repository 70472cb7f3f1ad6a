#pragma once
// TGA pictures: uncompressed true-colour files (image type 2).
#include <string>

#include "Streams.h"

class TDIB;

// The ".TGA" load: clears Dest, sizes it from the header (width, height, bits
// per pixel) and, for image type 2, reads the rows as stored (blue, green, red,
// then alpha for 32 bits). Other image types give a cleared picture of the
// header's size. Rows run bottom-up unless the descriptor's top-down bit is
// set. Raises the surface's format errors for depths it does not take (a
// 16-bit file: "PixelFormat in invalid"), EReadError for a file shorter than
// its header says, std::bad_alloc beyond the size limits; after any error Dest
// is empty.
void LoadTga(TDIB& Dest, TStream& Stream);
void LoadTgaFile(TDIB& Dest, const std::string& FileName);
