#pragma once
// The element choice of velmora's scattering-pattern matrix.

class QComboBox;

// Clears the combo box and fills it with the elements Z = 1 to 79, item
// i standing for Z = i + 1 and reading Z followed by the symbol ("1H" ..
// "79Au"), without icons or user data; selects 29Cu.
void FillElementCombo(QComboBox& combo);
