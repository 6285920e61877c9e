#include "apps/velmora/app/ElementCombo.h"

#include <QComboBox>

#include <gtest/gtest.h>

TEST(ElementCombo, ListsHydrogenToGoldWithCopperSelected)
{
    QComboBox combo;
    combo.addItem("left over");
    FillElementCombo(combo);
    ASSERT_EQ(combo.count(), 79);
    EXPECT_EQ(combo.itemText(0).toStdString(), "1H");
    EXPECT_EQ(combo.itemText(25).toStdString(), "26Fe");
    EXPECT_EQ(combo.itemText(78).toStdString(), "79Au");
    EXPECT_EQ(combo.currentIndex(), 28);
    EXPECT_EQ(combo.currentText().toStdString(), "29Cu");
    EXPECT_TRUE(combo.itemIcon(0).isNull());
    EXPECT_FALSE(combo.itemData(0).isValid());
}
