#pragma once
// Decoding of RLE8 and RLE4 pixel data as BMP files store it.
#include "DIBmp.h"

// Decodes the encoded bytes of Source (BitCount 8: RLE8, 4: RLE4) into Target,
// an allocated, uncompressed image of the same size and depth whose pixels the
// caller has cleared. The first encoded line is the picture's bottom row. Runs,
// literal pixels and moves that reach outside the picture are cut at its
// edges; data that ends without an end-of-picture code ends the picture.
void DecodeRLE(const TDIBSharedImage& Source, TDIBSharedImage& Target);
