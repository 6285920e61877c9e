#include "apps/velmora/app/ElementCombo.h"

#include "physics/LwAtomName.h"

#include <QComboBox>
#include <QString>

namespace {

constexpr int kLastElement = 79;  // Au
constexpr int kSelectedElement = 29;  // Cu

}  // namespace

void FillElementCombo(QComboBox& combo)
{
    combo.clear();
    LwAtomName element;
    for (int z = 1; z <= kLastElement; ++z) {
        element.SetAtomicNumber(z);
        combo.addItem(QString::number(z) + QString::fromStdString(element.GetAtomName()));
    }
    combo.setCurrentIndex(kSelectedElement - 1);
}
