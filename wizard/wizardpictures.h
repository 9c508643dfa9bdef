#pragma once

#include <QPixmap>

// The conversion wizard's pictures, painted here rather than shipped as
// files: bitmaps 129 to 132 (one per page) and 137, the watermark down the
// side of every page. An unknown number gives a null pixmap.
QPixmap wizardPicture(int bitmapId);
