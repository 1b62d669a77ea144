#pragma once

#include "widgets/GridListCtrlEx.h"

namespace orvex {

class CEqPanel;

// The band grid beside an equaliser graph: one row per visible band (number, type, gain, frequency, Q),
// edited in place. An edit is applied to the panel's band and reported with bandEdited, which the page
// sends exactly as for EQN_BANDCHANGED.
class CBandGrid : public CGridListCtrlEx {
    Q_OBJECT

public:
    static constexpr int kControlId = 1139;
    static constexpr int kNumberColumn = 1;
    static constexpr int kTypeColumn = 2;
    static constexpr int kGainColumn = 3;
    static constexpr int kFrequencyColumn = 4;
    static constexpr int kQColumn = 5;

    // The type column is 60 pixels wide on the output page and 55 on the others.
    explicit CBandGrid(int typeColumnWidth, QWidget* parent = nullptr);

    // The panel whose bands the rows show and edits change; the rows are reloaded from it.
    void Bind(CEqPanel* panel);
    void Reload();
    // Rewrites the cells of one band's row.
    void ShowBandRow(int index);
    // Makes the band's row the only selected one, scrolled into view, with its cells rewritten.
    void SelectBand(int index);
    // Header texts in the current language.
    void Retranslate();

signals:
    void bandEdited(int index);

private:
    void OnCellEditEnded(int row, int column, const QString& text);

    CEqPanel* m_panel = nullptr;
};

} // namespace orvex
