#include "apps/halvane/app/RfaSpinBoxes.h"

#include <QCoreApplication>
#include <QLocale>
#include <QPalette>
#include <QVariant>

#include <cmath>
#include <iomanip>
#include <locale>
#include <sstream>

namespace {

const QColor kRefusedGround(255, 200, 200);

std::string NumberText(double value)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << std::setprecision(10) << value;
    return out.str();
}

// The box's text read as a number in its locale or in the C locale.
bool ReadNumber(const QAbstractSpinBox& box, const QString& text, double& value)
{
    bool ok = false;
    value = box.locale().toDouble(text, &ok);
    if (!ok)
        value = QLocale::c().toDouble(text, &ok);
    return ok;
}

std::string Refusal(const QAbstractSpinBox& box, const QString& cleanText, const std::string& name,
                    bool whole, int decimals, double low, double high, const std::string& range)
{
    if (box.hasAcceptableInput())
        return std::string();
    const QString text = cleanText.trimmed();
    if (text.isEmpty())
        return name + " is empty: it must be " + range;
    const double scale = std::pow(10.0, decimals);
    std::string reason;
    double value = 0;
    if (!ReadNumber(box, text, value) || !std::isfinite(value))
        reason = "is not a number";
    else if (!(value >= low && value <= high))
        reason = "is out of range";
    else if (whole && value != std::trunc(value))
        reason = "is not a whole number";
    else if (!whole && std::fabs(value * scale - std::round(value * scale)) > 1e-6)
        reason = "has more decimals than the box holds";
    else
        reason = "is not a number the box takes";
    return name + " = " + text.toStdString() + " " + reason + ": it must be " + range;
}

}  // namespace

namespace RfaSpinBoxDetail {

bool LooksLikeNumber(const QString& text)
{
    bool digit = false;
    for (const QChar c : text.trimmed()) {
        if (c.isDigit())
            digit = true;
        else if (!QString("+-.,eE").contains(c))
            return false;
    }
    return digit;
}

void MarkText(QAbstractSpinBox& box, const std::string& range)
{
    const bool refused = !box.hasAcceptableInput();
    if (refused == box.property("rfaRefused").toBool())
        return;
    box.setProperty("rfaRefused", refused);
    QPalette palette = box.palette();
    palette.setColor(QPalette::Base, refused ? kRefusedGround : QPalette().color(QPalette::Base));
    box.setPalette(palette);
    box.setToolTip(refused ? QString::fromStdString("Not taken: it must be " + range) : QString());
}

bool KeepRefusedText(QAbstractSpinBox& box, QLineEdit& edit, QEvent* event)
{
    if (box.hasAcceptableInput())
        return false;
    if (event->type() == QEvent::FocusOut) {
        // The line edit still hears of it (its cursor stops), the box does
        // not read the text.
        QCoreApplication::sendEvent(&edit, event);
        box.update();
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            event->ignore();
            return true;
        }
    }
    return false;
}

}  // namespace RfaSpinBoxDetail

std::string RfaBoxRange(const QSpinBox& box)
{
    return "a whole number from " + NumberText(box.minimum()) + " to " + NumberText(box.maximum());
}

std::string RfaBoxRange(const QDoubleSpinBox& box)
{
    return "a number from " + NumberText(box.minimum()) + " to " + NumberText(box.maximum()) +
           " with at most " + std::to_string(box.decimals()) +
           (box.decimals() == 1 ? " decimal" : " decimals");
}

std::string RfaBoxRefusal(const QSpinBox& box, const std::string& name)
{
    return Refusal(box, box.cleanText(), name, true, 0, box.minimum(), box.maximum(), RfaBoxRange(box));
}

std::string RfaBoxRefusal(const QDoubleSpinBox& box, const std::string& name)
{
    return Refusal(box, box.cleanText(), name, false, box.decimals(), box.minimum(), box.maximum(),
                   RfaBoxRange(box));
}
