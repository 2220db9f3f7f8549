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
}

}  // namespace
}  // namespace rw
