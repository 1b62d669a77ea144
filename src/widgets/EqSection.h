#pragma once

#include "model/EqBandRecord.h"
#include "model/EqFit.h"

#include <QColor>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

class QComboBox;
class QDialog;
class QLabel;
class QStackedWidget;

namespace orvex {

class CBandGrid;
class CBandStrip;
class CEqPanel;
class EqSender;
class ParameterStore;

// The fit dialog as the section drives it: it proposes bands for the path and the section applies
// them once the dialog is accepted.
class IEqFitDialog {
public:
    virtual ~IEqFitDialog() = default;
    virtual QDialog* Dialog() = 0;
    // Fits with the options shown; false when nothing could be fitted.
    virtual bool RunFit() = 0;
    // The free bands the fit proposes, while it offers to apply them.
    virtual const std::optional<std::vector<EqBand>>& Proposal() const = 0;
};

// What the section asks of the program around it: its message boxes, its file dialog, its control
// hints and the fit dialog.
class IEqSectionHost {
public:
    virtual ~IEqSectionHost() = default;
    virtual void ShowError(QWidget* parent, const QString& text, const QString& caption) = 0;
    virtual void ShowInformation(QWidget* parent, const QString& text, const QString& caption) = 0;
    // The file the user picked, empty when cancelled. `defaultSuffix` is added to a saved name typed
    // without one.
    virtual QString AskFileName(QWidget* parent, bool save, const QString& caption, const QString& defaultName,
                                const QString& filter, const QString& defaultSuffix) = 0;
    // Attaches a hint pair (both UTF-8) to `widget`.
    virtual void SetHint(QWidget* widget, const char* zh, const char* en) = 0;
    // A new fit dialog for `input`, not yet shown.
    virtual IEqFitDialog* CreateFitDialog(EqFitInput input, QWidget* parent) = 0;
};

// The equaliser section every equaliser page shows: the curve panel with, beside it, either the band
// grid (no band selected) or the band strip (a band selected), and on an output path the crossover
// family selector. It loads one EQ identity from the store and writes every band edit back through
// EqSender (record, memory write and coefficients) for each identity of its apply set, so the page
// around it only chooses the path, the apply set and the bypass it shows.
class CEqSection : public QWidget {
    Q_OBJECT

public:
    static constexpr int kCrossoverComboId = 1134;
    static constexpr int kCrossoverLabelId = 1215;

    // `typeColumnWidth`: the band grid's type column, 60 on the output page and 55 elsewhere.
    CEqSection(ParameterStore& store, EqSender& eq, IEqSectionHost& host, int typeColumnWidth,
               QWidget* parent = nullptr);

    // Shows EQ identity `eqIdentity` (0..14) loaded from the store: its band count, no band selected
    // (the same path shown again keeps its picked band). The apply set becomes the identity alone.
    void ShowPath(int eqIdentity);
    // Loads the shown path from the store again; the picked band stays picked.
    void Reload();
    int EqIdentity() const { return m_identity; }

    // The identities a band edit is written to; the shown one is always among them (an output page
    // adds a linked partner).
    void SetApplyIdentities(std::vector<int> identities);
    const std::vector<int>& ApplyIdentities() const { return m_apply; }

    void SetBypass(bool bypass);

    // Left Ctrl + digit: band `band` becomes the selected band and the panel takes the focus, as a
    // pick from the panel. Bands the panel does not show are ignored.
    void SelectBand(int band);
    // No band selected: the grid is shown, the strip and crossover selector hidden.
    void ClearSelection();
    int SelectedBand() const;
    bool StripShown() const;

    // Sets the shown path flat (each identity of the apply set) and reloads it.
    void ResetPath();

    // Room correction, offered on the graph's path menu. Imports and fits go to every identity of the
    // apply set, all bands or none, through EqSender as a band edit sends them; the measurement
    // overlay belongs to the shown path. An empty `path` asks with a file dialog.
    bool ImportFilters(const QString& path = {});
    bool ExportFilters(const QString& path = {});
    bool ShowMeasurement(const QString& path = {});
    // Opens the fit dialog (asking for a measurement first when the path has none); the dialog's
    // bands are applied when it is accepted.
    void FitToMeasurement();
    void ClearMeasurement();
    // The open fit dialog, null when none is.
    QDialog* FitDialog() const;

    void SetGridColours(const QColor& text, const QColor& background);
    // Texts and type names in the current language; the rows are rewritten.
    void Retranslate();

    CEqPanel* Panel() const { return m_panel; }
    CBandGrid* Grid() const { return m_grid; }
    CBandStrip* Strip() const { return m_strip; }
    QComboBox* CrossoverCombo() const { return m_crossover; }

signals:
    // A band went to the store and the processor (after every edit of the panel, grid or strip).
    void bandSent(int band);
    // A paste, a filter import or an accepted fit replaced the shown path in the store.
    void pathReplaced();

private:
    void LoadFromStore();
    void SendBand(int band);
    void OnBandChanged(int band);
    void OnBandPicked(int band);
    void OnClickEmpty();
    void OnEdited(int band);
    void OnGridRowClicked(int row);
    void OnCrossoverChosen(int listIndex);
    void ShowStrip(bool strip);
    // The crossover selector for band `band` of an output path: shown with its family while band 9
    // is a low-pass or high-pass kind.
    void UpdateCrossover(int band);
    bool IsOutput() const;
    void OnCorrectionCommand(int commandId);
    void ApplyFit(int eqIdentity, const std::vector<EqBand>& bands);

    ParameterStore& m_store;
    EqSender& m_eq;
    IEqSectionHost& m_host;
    int m_identity = -1;
    std::vector<int> m_apply;
    CEqPanel* m_panel = nullptr;
    QStackedWidget* m_side = nullptr;
    CBandGrid* m_grid = nullptr;
    CBandStrip* m_strip = nullptr;
    QWidget* m_crossoverRow = nullptr;
    QLabel* m_crossoverLabel = nullptr;
    QComboBox* m_crossover = nullptr;
    QWidget* m_sideColumn = nullptr;
    int m_gridWidth = 0;
    // The side column's change waiting for the panel's release (0: none, 1: grid, 2: strip): the strip
    // shows once the band is let go.
    int m_pendingSide = 0;
    QPointer<QDialog> m_fitDialog;
};

} // namespace orvex
