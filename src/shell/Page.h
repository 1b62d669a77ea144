#pragma once

#include <QWidget>

namespace orvex {

// The families of pages the main view hosts, one page at a time.
enum class PageKind { Music, Efx, Output, Delay, Ssvc, Comp };
inline constexpr int kPageKindCount = 6;

int PageTemplate(PageKind kind);

// What the main view needs of a page. Pages hold no parameter state of their own: they read
// the store to draw and write it only through the core's setters.
class CPage : public QWidget {
    Q_OBJECT
public:
    CPage(PageKind kind, QWidget* parent);

    PageKind Kind() const { return m_kind; }
    int TemplateId() const;

    // Reloads every control from the store.
    virtual void RefreshFromStore() {}
    // The page's own relabelling after a language switch (RelabelDialog with its template by default).
    virtual void Relabel();

    // The store slot of the bypass flag of the equaliser the page shows now (-1: it shows none).
    // The flag lives in the store: the view reads it for the status bar and toggles it through the
    // core's setter, then refreshes the page, which only draws it.
    virtual int EqBypassSlot() const { return -1; }
    bool HasEq() const { return EqBypassSlot() >= 0; }
    // Equaliser reset of the status bar; pages without an equaliser ignore it.
    virtual void ResetEq() {}
    // Left Ctrl + 1..9, 0: select band 1..10 on the page's curve panel.
    virtual void SelectEqBand(int /*band*/) {}

    // The output page shows one of the eight channels.
    virtual void SetOutputChannel(int /*channel*/) {}
    virtual int OutputChannel() const { return 0; }
    // The mic/music page's sub-view: 0 mic channel A, 1 mic channel B, 2 music. The view hands it the
    // remembered one; the page reports its own changes with channelViewChanged.
    virtual void SetChannelView(int /*view*/) {}
    virtual int ChannelView() const { return 0; }
    // The effects page's equaliser: 0 reverb A, 1 reverb B, 2 echo A, 3 echo B. Setting it on a shown
    // page switches the kind.
    virtual void SetEfxKind(int /*kind*/) {}
    virtual int EfxKind() const { return 0; }
    // A level reply came in, or the link went and took the levels with it: pages with live bars copy
    // the store's level record to them.
    virtual void UpdateLiveDisplay() {}

signals:
    // A channel or section button of the page: the view switches to that page. `channel` is the
    // output channel for the output page, the kind for the effects page, and -1 otherwise.
    void pageRequested(orvex::PageKind kind, int channel);
    // The mic/music page's sub-view changed on the page itself.
    void channelViewChanged(int view);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PageKind m_kind;
};

} // namespace orvex
