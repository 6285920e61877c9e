#pragma once
// The exchange between velmora's main form and SimulationSettings: the
// photon-energy list, the inputs in both directions, the two element-row
// groups and their filling from the elements of a loaded cluster.

#include <QList>
#include <QString>

#include <string>

class QLineEdit;
class SimulationSettings;
class Ui_MainWindow;

// Direction of an exchange: record to form, or form to record.
enum ExchangeDirection { kToForm = 0, kToSettings = 1 };

// le_el_0..5, le_f1_0..5, le_f2_0..5 in row order (the lists are replaced).
void GetAnomalousRowWidgets(Ui_MainWindow& form, QList<QLineEdit*>& elements, QList<QLineEdit*>& f1,
                            QList<QLineEdit*>& f2);
// le_el_1_0..5, le_TDE_0..5, le_TD_0..5, le_amp_0..5 in row order.
void GetDebyeRowWidgets(Ui_MainWindow& form, QList<QLineEdit*>& elements, QList<QLineEdit*>& examples,
                        QList<QLineEdit*>& debye, QList<QLineEdit*>& amplitudes);

// kToSettings: the text as a double (0 when it is no number); kToForm: the
// value with six significant digits.
void ExchangeLineEditDouble(int direction, QLineEdit& edit, double& value);
// The same for a text, UTF-8 both ways.
void ExchangeLineEditString(int direction, QLineEdit& edit, std::string& value);
// Switches, temperature and element rows between the form and the record.
void ExchangeFormSettings(int direction, Ui_MainWindow& form);

// PhotonEnergyList_keV into plainTextEdit, one energy per line.
void ShowEnergyList(Ui_MainWindow& form);
// plainTextEdit into PhotonEnergyList_keV: every line that reads as a number
// (C locale) in order; other lines, empty ones among them, are skipped.
void ReadEnergyList(Ui_MainWindow& form);

// The six element rows of the form into SimulationSettings::ElementValues_
// (nothing else of the record changes): the values typed for each element
// before the rows change to another cluster's elements.
void RememberFormElementValues(Ui_MainWindow& form);

// ClusterElements_ from the element symbols of every atom of Cluster_.
void CollectClusterElements(SimulationSettings& settings);
// Rows 0..5 of the anomalous group from ClusterElements_: a row with a
// symbol shows it, its element's f1 and f2 (SimulationSettings::
// ElementValues) and has them enabled; the others are emptied, show 0 and
// are disabled.
void FillAnomalousRows(Ui_MainWindow& form);
// Rows 0..5 of the Debye group: the symbol, its listed Debye temperatures and
// an enabled TD(K) field showing its element's temperature (remembered, else
// the first listed, else 0); LwError "Error in element name" for a symbol that
// is not in the element table (the rows before it are filled).
void FillDebyeRows(Ui_MainWindow& form);
