#pragma once

#include "shell/Page.h"

namespace orvex {

class CEfxTitle;
class CEqSection;
class CGdipButton;
class DeviceSession;

// The effects page: one of the four 7-band effect equalisers of the mic channels (reverb or echo of
// channel A or B) with its title, the shared equaliser section and a button back to the mic and music
// page. The kind can change while the page is shown; the page then reloads as if newly opened.
class CDialogEfx : public CPage {
    Q_OBJECT
public:
    static constexpr int kBackButtonId = 1068;
    static constexpr int kKindCount = 4;

    explicit CDialogEfx(DeviceSession& session, QWidget* parent = nullptr);

    // The EQ identity (reverb A 2, reverb B 3, echo A 4, echo B 5) of a kind 0..3.
    static int EqIdentityOfKind(int kind);

    void RefreshFromStore() override;
    void Relabel() override;
    int EqBypassSlot() const override;
    void ResetEq() override;
    // Ctrl + 1..7 select bands 1..7 of the seven; Ctrl + 8, 9 and 0 name bands this page does not have.
    void SelectEqBand(int band) override;
    void SetEfxKind(int kind) override;
    int EfxKind() const override { return m_kind; }

    CEqSection* Section() const { return m_section; }
    CEfxTitle* Title() const { return m_title; }
    CGdipButton* BackButton() const { return m_back; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceChildren();

    DeviceSession& m_session;
    int m_kind = 0;
    CEfxTitle* m_title = nullptr;
    CGdipButton* m_back = nullptr;
    CEqSection* m_section = nullptr;
};

} // namespace orvex
