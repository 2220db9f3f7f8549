#include <gtest/gtest.h>

#include "support/scripted_seams.h"
#include "widgets/common_dialog.h"

namespace rw {
namespace {

TEST(CommonDialog, FilterTextBecomesQtEntries) {
    EXPECT_EQ(qtFilter(QStringLiteral("Excel Files (*.xls)|*.xls|")), QStringLiteral("Excel Files (*.xls)"));
    EXPECT_EQ(qtFilter(QStringLiteral("Text|*.txt;*.csv|All Files (*.*)|*.*")),
              QStringLiteral("Text (*.txt *.csv);;All Files (*.*)"));
    test::ScriptedSaveDialog dialog;
    CommonDialog common(dialog);
    common.FileName = QStringLiteral("keep.xls");
    common.ShowSave();  // cancelled
    EXPECT_EQ(common.FileName, QStringLiteral("keep.xls"));
    EXPECT_EQ(common.FilterIndex, 1);

    // The entry the user picks comes back with the name, counted from 1 as the filter lists them.
    dialog.answers = {QStringLiteral("/tmp/chart"), QString()};
    dialog.pickedEntries = {1, 0};
    common.ShowSave();
    EXPECT_EQ(common.FileName, QStringLiteral("/tmp/chart"));
    EXPECT_EQ(common.FilterIndex, 2);
    common.ShowSave();  // cancelled: both stay
    EXPECT_EQ(common.FilterIndex, 2);
}

}  // namespace
}  // namespace rw
