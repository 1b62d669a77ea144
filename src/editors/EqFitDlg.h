#pragma once

#include "model/EqFit.h"

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
class CEqFitDlg : public QDialog {
    Q_OBJECT

public:
    struct Input {
        int eqIdentity = -1;
        Measurement measurement;     // normalised
        std::vector<EqBand> current; // the path's free bands as they play now
        std::vector<EqBand> kept;    // bands the fit leaves alone (an output's crossover sections)
    };

    explicit CEqFitDlg(Input input, QWidget* parent = nullptr);
    ~CEqFitDlg() override;

    FitOptions Options() const;
    void SetOptions(const FitOptions& options);

    // Fits with the options shown. On success the figures show the result, the proposal is drawn and
    // Apply is offered; otherwise the reason is shown and Apply stays off.
    bool RunFit();
    // The free bands the fit proposes (those it does not use are off), while Apply is offered.
    const std::optional<std::vector<EqBand>>& Proposal() const { return m_proposal; }
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

// Reads a text file a user picked: at most 4 MiB, UTF-8 or (by its byte-order mark) UTF-16/32, given
// back as UTF-8. When it cannot be read a box titled `caption` says why and nullopt is returned.
std::optional<std::string> ReadUserText(QWidget* parent, const QString& path, const QString& caption);

// A measured or target response from a file (asked for with a file dialog when `path` is empty),
// normalised to 0 dB on average between 200 Hz and 2 kHz; its file name in `name`. nullopt when the
// user cancels or the file is bad; a bad file's lines are listed in a box after `notLoaded`.
std::optional<Measurement> ReadResponseFile(QWidget* parent, const QString& path, const QString& caption,
                                            const QString& notLoaded, QString& name);

// A reader's reason for refusing a line, in the interface's language.
QString TextErrorReason(const std::string& message);

// The errors of a filter or measurement text as a message box lists them: one line each, at most
// `limit`, then how many more there are.
QString ListTextErrors(const std::vector<FilterTextError>& errors, int limit = 12);

} // namespace orvex
