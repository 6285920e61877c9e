#pragma once
// The number boxes of the main form: spin boxes that keep what the user
// typed. A toolkit spin box drops a keystroke that leads out of its range
// ("20" typed into a box that ends at 14 stays "2") and puts its last value
// back when the focus leaves a text it cannot take, so that a number other
// than the one typed would be used without a word. These boxes keep every
// text made of a number's characters, show one they cannot take on a red
// ground with what they take as its tool tip, and leave it standing when
// the focus moves on or Return is pressed; hasAcceptableInput() is then
// false and the form's exchange refuses it in words (ExchangeWithUi).
// Setting a value, the arrows and the wheel put a value in the box as
// before.

#include <QDoubleSpinBox>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPaintEvent>
#include <QSpinBox>
#include <QValidator>

#include <string>
#include <utility>

// What the box takes, as "a whole number from 0 to 14" or "a number from 0
// to 100 with at most 1 decimal".
std::string RfaBoxRange(const QSpinBox& box);
std::string RfaBoxRange(const QDoubleSpinBox& box);
// Why the box's text is not taken, naming the box `name`: "<name> = <text>
// is out of range: it must be <RfaBoxRange>" (or "is not a whole number",
// "has more decimals than the box holds", "is not a number"; "<name> is
// empty: ..."); empty when the box holds its value.
std::string RfaBoxRefusal(const QSpinBox& box, const std::string& name);
std::string RfaBoxRefusal(const QDoubleSpinBox& box, const std::string& name);

namespace RfaSpinBoxDetail {

// A text a user may be on the way to a number with, or have mistyped one
// in: digits with signs, separators and exponents.
bool LooksLikeNumber(const QString& text);
// The red ground and the tool tip "Not taken: it must be <range>" while
// the box's text is not taken; the usual ground without a tip otherwise.
void MarkText(QAbstractSpinBox& box, const std::string& range);
// Handles a focus-out or a Return so that a text the box cannot take stays
// (the toolkit would put the last value back); false for every other event
// and whenever the text is taken.
bool KeepRefusedText(QAbstractSpinBox& box, QLineEdit& edit, QEvent* event);

}  // namespace RfaSpinBoxDetail

template <class Base>
class RfaTextKeepingBox : public Base
{
public:
    explicit RfaTextKeepingBox(QWidget* parent = nullptr) : Base(parent)
    {
        using Value = decltype(std::declval<const Base&>().value());
        QObject::connect(this->lineEdit(), &QLineEdit::textChanged, this, [this] { Mark(); });
        // A value set puts its text in without the line edit's signal.
        QObject::connect(this, QOverload<Value>::of(&Base::valueChanged), this, [this] { Mark(); });
    }
    QValidator::State validate(QString& text, int& pos) const override
    {
        const QValidator::State state = Base::validate(text, pos);
        return state == QValidator::Invalid && RfaSpinBoxDetail::LooksLikeNumber(text)
                   ? QValidator::Intermediate
                   : state;
    }

protected:
    void focusOutEvent(QFocusEvent* event) override
    {
        if (!RfaSpinBoxDetail::KeepRefusedText(*this, *this->lineEdit(), event))
            Base::focusOutEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!RfaSpinBoxDetail::KeepRefusedText(*this, *this->lineEdit(), event))
            Base::keyPressEvent(event);
    }
    // The mark follows the text also where a value set puts the same value
    // back, which no signal tells.
    void paintEvent(QPaintEvent* event) override
    {
        Mark();
        Base::paintEvent(event);
    }

private:
    void Mark() { RfaSpinBoxDetail::MarkText(*this, RfaBoxRange(*this)); }
};

using RfaSpinBox = RfaTextKeepingBox<QSpinBox>;
using RfaDoubleSpinBox = RfaTextKeepingBox<QDoubleSpinBox>;
