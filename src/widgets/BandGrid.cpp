#include "widgets/BandGrid.h"

#include "widgets/BandText.h"
#include "widgets/EqPanel.h"
#include "widgets/GraphPalette.h"
#include "widgets/UiLanguage.h"
#include "widgets/GridColumnTraitCombo.h"
#include "widgets/GridColumnTraitEdit.h"

#include <QHeaderView>

#include <algorithm>

namespace orvex {

CBandGrid::CBandGrid(int typeColumnWidth, QWidget* parent) : CGridListCtrlEx(kControlId, parent) {
    InsertColumnTrait(QString(), 30, std::make_unique<CGridColumnTraitEdit>());
    auto combo = std::make_unique<CGridColumnTraitCombo>();
    combo->SetItemSource(&BandTypeChoices);
    InsertColumnTrait(QString(), typeColumnWidth, std::move(combo));
    InsertColumnTrait(QString(), 60, std::make_unique<CGridColumnTraitEdit>());
    InsertColumnTrait(QString(), 60, std::make_unique<CGridColumnTraitEdit>());
    InsertColumnTrait(QString(), 50, std::make_unique<CGridColumnTraitEdit>());
    Retranslate();
    RowTrait().SetRowColours(graphpalette::Curve, graphpalette::Background);
    const auto rgb = [](const QColor& c) {
        return QStringLiteral("rgb(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
    };
    setStyleSheet(QStringLiteral("QTableWidget { background: %1; gridline-color: %2; border: 1px solid %2; }")
                      .arg(rgb(graphpalette::Background), rgb(graphpalette::GridLine)) +
                  QStringLiteral("QHeaderView::section { background: rgb(48,52,58); color: rgb(220,220,220); "
                                 "border: 0px; border-right: 1px solid rgb(30,30,30); padding: 2px; }"));
    horizontalHeader()->setFixedHeight(22);
    horizontalHeader()->setStretchLastSection(true);

    // Placeholder rows until the page loads the path.
    static constexpr int kPlaceholderHz[] = {20, 25, 31, 40, 50, 63, 80, 100, 125, 160};
    SetRowCount(10);
    for (int row = 0; row < 10; ++row) {
        SetCellText(row, kNumberColumn, QString::number(row + 1));
        SetCellText(row, kTypeColumn, BandTypeName(1));
        SetCellText(row, kGainColumn, QStringLiteral("0.0dB"));
        SetCellText(row, kFrequencyColumn, QStringLiteral("%1Hz").arg(kPlaceholderHz[row]));
        SetCellText(row, kQColumn, QStringLiteral("1.414"));
    }
    // The number column is shown but not edited.
    connect(this, &CGridListCtrlEx::cellEditEnded, this, &CBandGrid::OnCellEditEnded);
}

void CBandGrid::Retranslate() {
    SetColumnHeader(kNumberColumn, QString());
    SetColumnHeader(kTypeColumn, UiText("类型", "Type"));
    SetColumnHeader(kGainColumn, UiText("增益", "Gain"));
    SetColumnHeader(kFrequencyColumn, UiText("频率", "Freq"));
    SetColumnHeader(kQColumn, UiText("Q值", "Q"));
    if (m_panel) {
        for (int row = 0; row < rowCount(); ++row) {
            ShowBandRow(row);
        }
    }
}

void CBandGrid::Bind(CEqPanel* panel) {
    m_panel = panel;
    Reload();
}

void CBandGrid::Reload() {
    if (!m_panel) {
        return;
    }
    SetRowCount(m_panel->VisibleBandCount());
    for (int row = 0; row < rowCount(); ++row) {
        ShowBandRow(row);
    }
}

void CBandGrid::ShowBandRow(int index) {
    if (!m_panel || index < 0 || index >= rowCount()) {
        return;
    }
    const EqPanelBand band = m_panel->Band(index);
    SetCellText(index, kNumberColumn, QString::number(index + 1));
    SetCellText(index, kTypeColumn, BandTypeName(m_panel->DisplayType(index)));
    SetCellText(index, kGainColumn, FormatBandGain(band.gainDb));
    SetCellText(index, kFrequencyColumn, FormatBandFrequency(band.freqHz));
    SetCellText(index, kQColumn, FormatBandQ(band.q));
}

void CBandGrid::SelectBand(int index) {
    ShowBandRow(index);
    SelectOnlyRow(index);
}

void CBandGrid::OnCellEditEnded(int row, int column, const QString& text) {
    if (!m_panel || row < 0 || row >= m_panel->VisibleBandCount()) {
        return;
    }
    if (column == kTypeColumn) {
        const int code = BandTypeFromName(text);
        if (code < 0) {
            ShowBandRow(row); // an unknown name changes nothing; the cell shows the band again
            return;
        }
        m_panel->SetBandTypeFromMenu(row, code);
        emit bandEdited(row);
        ShowBandRow(row);
        return;
    }
    if (column < kGainColumn || column > kQColumn) {
        ShowBandRow(row);
        return;
    }
    // The row is applied as a whole, gain first, as the three cells were read together.
    m_panel->SetBandGain(row, static_cast<float>(ParseLeadingNumber(CellText(row, kGainColumn))));
    const double hz = ParseLeadingNumber(CellText(row, kFrequencyColumn));
    if (hz != 0.0) {
        m_panel->SetBandFrequency(row, static_cast<float>(std::clamp(hz, static_cast<double>(kMinBandFreqHz),
                                                                     static_cast<double>(kMaxBandFreqHz))));
    }
    m_panel->SetBandQ(row, static_cast<float>(ParseLeadingNumber(CellText(row, kQColumn))));
    emit bandEdited(row);
    ShowBandRow(row);
}

} // namespace orvex
