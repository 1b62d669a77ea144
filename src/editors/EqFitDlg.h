#pragma once

#include "model/EqFit.h"
#include "widgets/EqSection.h"

#include <QDialog>

#include <optional>
#include <vector>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace orvex {

// Fits a path's free bands to its measurement: the user sets the range, the limits, the target and
// how many bands to use, sees the deviation from the target before and after, and applies the bands
// or cancels. Nothing reaches the processor from here; the fitted bands are drawn on the graph (the
// overlay's proposal) and the owner applies Proposal() once the dialog is accepted.
class CEqFitDlg : public QDialog, public IEqFitDialog {
    Q_OBJECT

public:
    using Input = EqFitInput;

    explicit CEqFitDlg(Input input, QWidget* parent = nullptr);
    ~CEqFitDlg() override;

    FitOptions Options() const;
    void SetOptions(const FitOptions& options);

    // Fits with the options shown. On success the figures show the result, the proposal is drawn and
    // Apply is offered; otherwise the reason is shown and Apply stays off.
    bool RunFit() override;
    // The free bands the fit proposes (those it does not use are off), while Apply is offered.
    const std::optional<std::vector<EqBand>>& Proposal() const override { return m_proposal; }
    QDialog* Dialog() override { return this; }
    std::optional<FitResidual> FittedResidual() const { return m_after; }
    // The deviation of the measurement alone, and with the bands the path plays now.
    FitResidual MeasurementResidual() const;
    FitResidual CurrentResidual() const;

    // Loads the target from a file (the file dialog when `path` is empty); false when it was not read.
    bool LoadTarget(const QString& path = {});
    void UseFlatTarget();

    QDoubleSpinBox* FromBox() const { return m_from; }
    QDoubleSpinBox* ToBox() const { return m_to; }
    QDoubleSpinBox* BoostBox() const { return m_boost; }
    QDoubleSpinBox* CutBox() const { return m_cut; }
    QDoubleSpinBox* MaxQBox() const { return m_maxQ; }
    QSpinBox* BandsBox() const { return m_bands; }
    QPushButton* FitButton() const { return m_fit; }
    QPushButton* ApplyButton() const { return m_apply; }
    QLabel* MessageLabel() const { return m_message; }
    QString FiguresText() const;

private:
    // The measurement with the bands the fit leaves alone, and the target (flat when none).
    Measurement Baseline() const;
    const Measurement& Target() const;
    void ShowFigures();
    // An option changed: the result no longer matches what is shown.
    void Invalidate();

    Input m_input;
    Measurement m_baseline;
    std::optional<std::vector<EqBand>> m_proposal;
    std::optional<FitResidual> m_after;

    QDoubleSpinBox* m_from = nullptr;
    QDoubleSpinBox* m_to = nullptr;
    QDoubleSpinBox* m_boost = nullptr;
    QDoubleSpinBox* m_cut = nullptr;
    QDoubleSpinBox* m_minQ = nullptr;
    QDoubleSpinBox* m_maxQ = nullptr;
    QSpinBox* m_bands = nullptr;
    QCheckBox* m_shelves = nullptr;
    QLabel* m_targetName = nullptr;
    QPushButton* m_loadTarget = nullptr;
    QPushButton* m_flatTarget = nullptr;
    QLabel* m_measurementFigures[2] = {nullptr, nullptr};
    QLabel* m_currentFigures[2] = {nullptr, nullptr};
    QLabel* m_fittedFigures[2] = {nullptr, nullptr};
    QLabel* m_message = nullptr;
    QPushButton* m_fit = nullptr;
    QPushButton* m_apply = nullptr;
};

} // namespace orvex
