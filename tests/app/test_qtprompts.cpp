#include "app/tqtprompts.h"

#include <gtest/gtest.h>

namespace {

// The filters the core passes become Qt name filters that find files with
// either case of extension.
TEST(QtPrompts, FiltersBecomeQtNameFilters) {
    EXPECT_EQ(TQtPrompts::QtFilter("DVE510TK3 Project File (*.dcf)|*.dcf"),
              "DVE510TK3 Project File (*.dcf *.DCF)");
    EXPECT_EQ(TQtPrompts::QtFilter("DVE510TK3 ROM File (*.bin)|*.bin"),
              "DVE510TK3 ROM File (*.bin *.BIN)");
    EXPECT_EQ(TQtPrompts::QtFilter("Bitmaps|*.bmp;*.BMP|All|*"), "Bitmaps (*.bmp *.BMP);;All (*)");
    EXPECT_EQ(TQtPrompts::QtFilter(""), "All files (*)");

    EXPECT_EQ(TQtPrompts::DialogTitle("Save", "DVE510TK3 Project File (*.dcf)|*.dcf"),
              "Save DVE510TK3 Project File");
    EXPECT_EQ(TQtPrompts::DialogTitle("Open", "Bitmap files (*.bmp)|*.bmp;*.BMP"),
              "Open Bitmap files");
    EXPECT_EQ(TQtPrompts::DialogTitle("Open", ""), "Open");
}

} // namespace
