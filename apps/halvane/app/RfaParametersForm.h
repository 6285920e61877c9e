#pragma once
// The parameter record against the main form (the exchange with its boxes and
// the check of a record against their ranges), the ini file beside the
// program, and the file dialogs' remembered folder. GUI thread only.

#include <QString>

#include <string>
#include <vector>

class QWidget;
class RfaParameters;
class Ui_MainWindow;

// The farthest a pixel position or distance in one image can lie from its
// origin: an image travels between halvane and the viewer as one
// shared-memory block of 16 + 4 x columns x rows bytes, at most INT_MAX, so
// no image side exceeds 536870907 and no distance inside an image 2^30. The
// form's centre, radius and margin boxes reach this far (MainWindow.ui).
constexpr int kRfaFormPixelRange = 1 << 30;

// Nonzero `toRecord`: the 23 widget values into `record`, unless a box
// holds a text it cannot take (RfaSpinBoxes.h): then LwError "<box name> =
// <text> is out of range: it must be ..." (RfaBoxRefusal) for the first such
// box and `record` unchanged; zero: the record into the widgets, where each
// value is brought into the widget's range and decimals (the integer mask
// boxes take the value truncated toward zero). Either way MappingIsAzM2_
// becomes true.
void ExchangeWithUi(RfaParameters& record, int toRecord, Ui_MainWindow& form);
// Whether the 17 numbers of `record` can be shown in the form as they are:
// LwError naming the first value that is not a number or lies outside its
// widget's range, as "\"<key>\" = <value> lies outside the form's range
// <minimum> to <maximum>". Callers check a record before it reaches the
// form, so that ExchangeWithUi never clamps a value found by an operation
// or read from a file.
void CheckFitsForm(const RfaParameters& record, const Ui_MainWindow& form);
// Every number of `record` that CheckFitsForm would refuse replaced by the
// nearest value its widget holds (a value that is not a number by the
// default), so that a file written for other ranges keeps the rest of its
// values; one text per replaced value, as "<CheckFitsForm's text>: <value>
// is taken instead".
std::vector<std::string> BringIntoFormRange(RfaParameters& record, const Ui_MainWindow& form);
// The values of `record` whose keys are in `keys` into their widgets, as
// ExchangeWithUi does; the other widgets keep what they show.
void ShowKeysInForm(const RfaParameters& record, const std::vector<std::string>& keys, Ui_MainWindow& form);

// Writes `record` to the ini file (atomically: a failed write leaves the
// old file). LwError "FILE CANNOT WRITE:<path>" when it cannot.
void SaveIni(const RfaParameters& record);

// The program file's path with its extension replaced by `extension` (with
// its dot): a '.' after the last separator and not at position 0 starts the
// extension. Errors are written as "Error@GetIniFileNameQString" to the debug
// output and passed on.
QString GetIniFileNameQString(const QString& extension);
// Remembers the folder of a chosen file and writes it as the only line of
// "filepath.ini" (silently nothing when that file cannot be written).
void WriteFilePathIni(const QString& chosenPath);
// The save dialog, starting in the remembered folder when `defaultPath` has
// no directory; the chosen path (remembered) or empty when cancelled.
QString GetSaveFileNameQString(QWidget* parent, const QString& caption, const QString& filter,
                               const QString& defaultPath);
