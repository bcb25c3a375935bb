#pragma once

#include "ColourText.h"

#include <QComboBox>

// A drop-down list of the named colours of the settings store (the sixteen standard colours,
// the four extra ones and the desktop's system colours), each with a swatch and its name. A
// colour that has no entry is shown as an extra "Custom" entry with its swatch, so that it is
// kept exactly as it was until the user picks another.
class TColourPicker : public QComboBox
{
    Q_OBJECT

public:
    explicit TColourPicker(QWidget *parent = nullptr);

    // The selected colour; clBlack when nothing is selected.
    TColor colour() const;
    // Selects the named entry of this colour, or else the "Custom" entry, made for it.
    void setColour(TColor colour);

    // The name shown for a colour name of the store: "clMoneyGreen" -> "Money Green",
    // "clBtnFace" -> "Button Face".
    static QString displayName(QStringView colourName);

    static constexpr int ColourRole = Qt::UserRole;
    static constexpr int CustomRole = Qt::UserRole + 1;

private:
    int customIndex() const;
};
