#include "apps/velmora/app/MainForm.h"

#include "physics/LwAtomName.h"
#include "apps/velmora/app/SimulationSettings.h"
#include "apps/velmora/engine/DebyeTemperatureTable.h"

#include "ui_MainWindow.h"

#include <QDebug>

namespace {

constexpr int kRows = 6;

// Exchange of a check state: to the form a true field checks the button and
// a false one leaves it alone (the group keeps its own choice).
void ExchangeChecked(int direction, QAbstractButton& button, bool& value)
{
    if (direction == kToSettings)
        value = button.isChecked();
    else if (value)
        button.setChecked(true);
}

// Row k of the form (the Debye group's element, f1, f2, TD(K)) and `row`.
void ExchangeElementRow(int direction, Ui_MainWindow& form, int k, ElementRow& row)
{
    QList<QLineEdit*> anomalousElements, f1, f2, elements, examples, debye, amplitudes;
    GetAnomalousRowWidgets(form, anomalousElements, f1, f2);
    GetDebyeRowWidgets(form, elements, examples, debye, amplitudes);
    ExchangeLineEditString(direction, *elements[k], row.Element);
    ExchangeLineEditDouble(direction, *f1[k], row.F1);
    ExchangeLineEditDouble(direction, *f2[k], row.F2);
    ExchangeLineEditDouble(direction, *debye[k], row.Debye_K_);
}

}  // namespace

void GetAnomalousRowWidgets(Ui_MainWindow& form, QList<QLineEdit*>& elements, QList<QLineEdit*>& f1,
                            QList<QLineEdit*>& f2)
{
    elements = {form.le_el_0, form.le_el_1, form.le_el_2, form.le_el_3, form.le_el_4, form.le_el_5};
    f1 = {form.le_f1_0, form.le_f1_1, form.le_f1_2, form.le_f1_3, form.le_f1_4, form.le_f1_5};
    f2 = {form.le_f2_0, form.le_f2_1, form.le_f2_2, form.le_f2_3, form.le_f2_4, form.le_f2_5};
}

void GetDebyeRowWidgets(Ui_MainWindow& form, QList<QLineEdit*>& elements, QList<QLineEdit*>& examples,
                        QList<QLineEdit*>& debye, QList<QLineEdit*>& amplitudes)
{
    elements = {form.le_el_1_0, form.le_el_1_1, form.le_el_1_2,
                form.le_el_1_3, form.le_el_1_4, form.le_el_1_5};
    examples = {form.le_TDE_0, form.le_TDE_1, form.le_TDE_2, form.le_TDE_3, form.le_TDE_4, form.le_TDE_5};
    debye = {form.le_TD_0, form.le_TD_1, form.le_TD_2, form.le_TD_3, form.le_TD_4, form.le_TD_5};
    amplitudes = {form.le_amp_0, form.le_amp_1, form.le_amp_2, form.le_amp_3, form.le_amp_4, form.le_amp_5};
}

void ExchangeLineEditDouble(int direction, QLineEdit& edit, double& value)
{
    if (direction == kToSettings)
        value = edit.text().toDouble();
    else
        edit.setText(QString::number(value, 'g', 6));
}

void ExchangeLineEditString(int direction, QLineEdit& edit, std::string& value)
{
    if (direction == kToSettings)
        value = edit.text().toUtf8().toStdString();
    else
        edit.setText(QString::fromUtf8(value.c_str()));
}

void ExchangeFormSettings(int direction, Ui_MainWindow& form)
{
    SimulationSettings& s = GetSimulationSettings();
    ExchangeChecked(direction, *form.rb_use_anomalous, s.IsUseAnomalous_);
    ExchangeChecked(direction, *form.rb_use_debye, s.IsUseDebye_);
    ExchangeLineEditDouble(direction, *form.le_temp_K, s.Temperature_K_);
    ExchangeChecked(direction, *form.cb_dumping, s.IsDrawDampingFunction_);
    ExchangeChecked(direction, *form.checkBox, s.IsNotUseEmitterVibration_);
    ExchangeChecked(direction, *form.rb_use_uiso, s.IsUseUiso_);

    if (direction == kToSettings)
        s.ListElementRow_.resize(kRows);
    for (int k = 0; k < kRows && k < static_cast<int>(s.ListElementRow_.size()); ++k)
        ExchangeElementRow(direction, form, k, s.ListElementRow_[static_cast<std::size_t>(k)]);
    if (direction == kToSettings)
        s.RememberElementValues();
}

void RememberFormElementValues(Ui_MainWindow& form)
{
    std::vector<ElementRow> rows(kRows);
    for (int k = 0; k < kRows; ++k)
        ExchangeElementRow(kToSettings, form, k, rows[static_cast<std::size_t>(k)]);
    GetSimulationSettings().RememberElementValues(rows);
}

void ShowEnergyList(Ui_MainWindow& form)
{
    const SimulationSettings& s = GetSimulationSettings();
    form.plainTextEdit->clear();
    for (std::size_t i = 0; i < s.PhotonEnergyList_keV.size(); ++i) {
        qDebug() << "show" << i;
        form.plainTextEdit->appendPlainText(QString::number(s.PhotonEnergyList_keV[i], 'g', 6));
    }
}

void ReadEnergyList(Ui_MainWindow& form)
{
    SimulationSettings& s = GetSimulationSettings();
    const QStringList lines = form.plainTextEdit->toPlainText().split('\n', Qt::KeepEmptyParts);
    s.PhotonEnergyList_keV.clear();
    for (const QString& line : lines) {
        // QString::toDouble: the C locale's form without group separators,
        // so "1,000" is no number rather than 1000.
        bool ok = false;
        const double energy = line.toDouble(&ok);
        if (ok)
            s.PhotonEnergyList_keV.push_back(energy);
    }
}

void CollectClusterElements(SimulationSettings& settings)
{
    std::set<std::string> symbols;
    for (const LwStructure& structure : settings.Cluster_)
        for (const LwClusterAtom& atom : structure)
            symbols.insert(atom.Atom_);
    settings.ClusterElements_.swap(symbols);
}

void FillAnomalousRows(Ui_MainWindow& form)
{
    const SimulationSettings& s = GetSimulationSettings();
    QList<QLineEdit*> elements, f1, f2;
    GetAnomalousRowWidgets(form, elements, f1, f2);
    auto symbol = s.ClusterElements_.begin();
    for (int i = 0; i < kRows; ++i) {
        const bool filled = symbol != s.ClusterElements_.end();
        elements[i]->setText(filled ? QString::fromLatin1(symbol->c_str()) : QString());
        f1[i]->setEnabled(filled);
        f2[i]->setEnabled(filled);
        // The terms of this row's own element (remembered or 0), never those
        // that the row showed for the former cluster's element.
        ElementRow values = filled ? s.ElementValues(*symbol, 0) : ElementRow();
        ExchangeLineEditDouble(kToForm, *f1[i], values.F1);
        ExchangeLineEditDouble(kToForm, *f2[i], values.F2);
        if (filled)
            ++symbol;
    }
}

void FillDebyeRows(Ui_MainWindow& form)
{
    SimulationSettings& s = GetSimulationSettings();
    QList<QLineEdit*> elements, examples, debye, amplitudes;
    GetDebyeRowWidgets(form, elements, examples, debye, amplitudes);
    auto symbol = s.ClusterElements_.begin();
    for (int k = 0; k < kRows; ++k) {
        elements[k]->setEnabled(false);
        examples[k]->setEnabled(false);
        amplitudes[k]->setEnabled(false);
        if (symbol != s.ClusterElements_.end()) {
            elements[k]->setText(QString::fromLatin1(symbol->c_str()));
            debye[k]->setEnabled(true);
            LwAtomName element;
            element.SetAtomName(*symbol);
            const int z = element.GetAtomicNumber();
            examples[k]->setText(
                QString::fromStdString(DebyeTemperatureText(s.Calculation_.DebyeTemperatures, z)));
            ElementRow values = s.ElementValues(*symbol, z);
            ExchangeLineEditDouble(kToForm, *debye[k], values.Debye_K_);
            ++symbol;
        } else {
            elements[k]->clear();
            examples[k]->clear();
            debye[k]->setText("0");
            debye[k]->setEnabled(false);
        }
    }
}
