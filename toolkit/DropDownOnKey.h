// A list-only combo box whose list drops down as soon as the user types into
// it; the key then picks the matching item as it would in the closed box.
#pragma once

class QComboBox;

namespace toolkit {

// Gives the box that behaviour for the rest of its life.
void dropDownOnKeyPress(QComboBox* box);

}  // namespace toolkit
