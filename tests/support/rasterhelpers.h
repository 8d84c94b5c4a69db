#pragma once

#include "util/trasterimage.h"

#include <QImage>

// The tests draw their fixtures and read pictures back with the toolkit; the
// product's pictures are YVclUtil::TRasterImage. These cross between the two.

// Image's pixels as an Rgb32 picture (Argb32 when the image has alpha).
YVclUtil::TRasterImage RasterOf(const QImage& Image);

// Picture as an RGB32 / ARGB32 image; a null image for a null picture.
QImage ImageOf(const YVclUtil::TRasterImage& Picture);
